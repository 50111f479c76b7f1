#include "platform/media/filters/AviMux.h"

#include <limits>
#include <numeric>

#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/IStream.h"

namespace vistrel::platform::media {
namespace {

constexpr int64_t kLongestGapFrames = 250;  // a longer jump in time is a new start, not a gap

class MuxOutput : public BaseOutputPin {
 public:
  explicit MuxOutput(BaseFilter* f) : BaseOutputPin(f, QStringLiteral("AVI Out")) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return type.majortype == MEDIATYPE_Stream && (type.subtype.isNull() || type.subtype == MEDIASUBTYPE_Avi)
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    type = MediaType(MEDIATYPE_Stream, MEDIASUBTYPE_Avi, FORMAT_None);
    return S_OK;
  }
  // The file is written through the File Writer's stream, not by samples: one small buffer.
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    request.cBuffers = 1;
    request.cbBuffer = 16;
    ALLOCATOR_PROPERTIES actual;
    return allocator.SetProperties(request, actual);
  }
};

class MuxInput : public BaseInputPin {
 public:
  MuxInput(AviMux* mux, QString name) : BaseInputPin(mux, std::move(name)), mux_(mux) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return AviMux::streamFormatFor(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  int stream = -1;  // set when streaming starts

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
    return stream < 0 ? S_FALSE : mux_->write(stream, *sample);
  }

 private:
  AviMux* mux_;
};

// The AVI writer's bytes go to the File Writer's stream.
class StreamSink : public avi::ByteSink {
 public:
  explicit StreamSink(std::shared_ptr<IStream> stream) : stream_(std::move(stream)) {}
  bool writeAt(uint64_t offset, const void* data, size_t size) override {
    if (FAILED(stream_->Seek(static_cast<int64_t>(offset), STREAM_SEEK_SET, nullptr))) return fail();
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      const uint32_t part = static_cast<uint32_t>(std::min<size_t>(size, 1u << 30));
      uint32_t written = 0;
      if (FAILED(stream_->Write(p, part, &written)) || written != part) return fail();
      p += part;
      size -= part;
    }
    return true;
  }
  bool flush() override { return SUCCEEDED(stream_->Commit(0)); }
  QString errorText() const override { return QStringLiteral("the file could not be written (disk full?)"); }

 private:
  bool fail() { return false; }
  std::shared_ptr<IStream> stream_;
};

avi::StreamFormat videoFormat(const MediaType& type, const BITMAPINFOHEADER& bmi, size_t headerSize) {
  avi::StreamFormat f;
  f.kind = avi::StreamKind::Video;
  f.handler = bmi.biCompression == BI_RGB ? avi::fourcc("DIB ") : bmi.biCompression;
  const REFERENCE_TIME frame = type.averageTimePerFrame() > 0 ? type.averageTimePerFrame() : UNITS / 25;
  const int64_t g = std::gcd<int64_t, int64_t>(frame, UNITS);
  f.scale = static_cast<uint32_t>(frame / g);
  f.rate = static_cast<uint32_t>(UNITS / g);
  f.width = static_cast<int16_t>(bmi.biWidth);
  f.height = static_cast<int16_t>(bmi.biHeight < 0 ? -bmi.biHeight : bmi.biHeight);
  f.strf = QByteArray(reinterpret_cast<const char*>(&bmi), sizeof bmi);
  // Bytes after the bitmap header (a palette, codec data, a DV information block) follow it.
  if (type.format.size() > headerSize)
    f.strf.append(reinterpret_cast<const char*>(type.format.data() + headerSize),
                  static_cast<qsizetype>(type.format.size() - headerSize));
  const bool dv = bmi.biCompression == avi::fourcc("dvsd") || bmi.biCompression == avi::fourcc("dsvd") ||
                  bmi.biCompression == avi::fourcc("csvd");
  if (dv && f.strf.size() < 40 + 32) f.strf.append(QByteArray(40 + 32 - f.strf.size(), '\0'));
  return f;
}

}  // namespace

AviMux::AviMux() : BaseFilter(CLSID_AviDest, QStringLiteral("AVI Mux")) {
  addPin(std::make_shared<MuxOutput>(this));
  addInput();
}

std::shared_ptr<IBaseFilter> AviMux::create() { return std::make_shared<AviMux>(); }

void AviMux::addInput() {
  addPin(std::make_shared<MuxInput>(
      this, QStringLiteral("Input %1").arg(nextInputNumber_++, 2, 10, QLatin1Char('0'))));
}

void AviMux::pinConnected(BasePin& pin) {
  if (pin.direction() == PINDIR_INPUT && pins_.back().get() == &pin) addInput();
}

void AviMux::pinDisconnected(BasePin& pin) {
  // One free input at the end is enough: a disconnected input before it goes away.
  if (pin.direction() != PINDIR_INPUT || pins_.back().get() == &pin) return;
  removePin(&pin);
}

std::optional<avi::StreamFormat> AviMux::streamFormatFor(const MediaType& type) {
  if (type.majortype == MEDIATYPE_Video) {
    if (const auto vih = type.videoInfo()) return videoFormat(type, vih->bmiHeader, sizeof(VIDEOINFOHEADER));
    if (const auto vih2 = type.videoInfo2())
      return videoFormat(type, vih2->bmiHeader, sizeof(VIDEOINFOHEADER2));
    return std::nullopt;
  }
  if (type.majortype == MEDIATYPE_Audio) {
    const auto wf = type.waveFormat();
    if (!wf || wf->nBlockAlign == 0 || wf->nAvgBytesPerSec == 0) return std::nullopt;
    avi::StreamFormat f;
    f.kind = avi::StreamKind::Audio;
    f.scale = wf->nBlockAlign;
    f.rate = wf->nAvgBytesPerSec;
    f.sampleSize = wf->nBlockAlign;
    const size_t size = std::min<size_t>(type.format.size(), 18 + static_cast<size_t>(wf->cbSize));
    f.strf = QByteArray(reinterpret_cast<const char*>(type.format.data()), static_cast<qsizetype>(size));
    if (f.strf.size() < 18) f.strf.append(QByteArray(18 - f.strf.size(), '\0'));
    return f;
  }
  if (type.majortype == MEDIATYPE_Interleaved && type.subtype == MEDIASUBTYPE_dvsd) {
    avi::StreamFormat f;
    f.kind = avi::StreamKind::InterleavedDv;
    f.handler = avi::fourcc("dvsd");
    f.strf = QByteArray(32, '\0');
    if (type.formattype == FORMAT_DvInfo && type.format.size() >= 32)
      f.strf = QByteArray(reinterpret_cast<const char*>(type.format.data()), 32);
    // PAL unless the information block's 50/60 flag (bit 21 of the video source pack) says NTSC.
    const uint32_t vauxSrc = static_cast<uint32_t>(static_cast<uint8_t>(f.strf[16])) |
                             static_cast<uint32_t>(static_cast<uint8_t>(f.strf[17])) << 8 |
                             static_cast<uint32_t>(static_cast<uint8_t>(f.strf[18])) << 16 |
                             static_cast<uint32_t>(static_cast<uint8_t>(f.strf[19])) << 24;
    const bool ntsc =
        type.averageTimePerFrame() > 0 ? type.averageTimePerFrame() < 380000 : !(vauxSrc & (1u << 21));
    f.scale = ntsc ? 1001 : 1;
    f.rate = ntsc ? 30000 : 25;
    f.width = 720;
    f.height = ntsc ? 480 : 576;
    return f;
  }
  return std::nullopt;
}

HRESULT AviMux::onPause() {
  std::lock_guard lock(lock_);
  writer_.reset();
  tracks_.clear();
  queuedBytes_ = 0;
  errorRaised_ = false;
  auto* output = static_cast<BaseOutputPin*>(pins_.front().get());
  const auto stream = interfaceOf<IStream>(output->peer());
  if (!stream) return output->isConnected() ? E_NOINTERFACE : S_OK;  // nothing to write into
  writer_.emplace();
  for (const auto& pin : pins_) {
    auto* input = dynamic_cast<MuxInput*>(pin.get());
    if (!input) continue;
    input->stream = -1;
    if (!input->isConnected()) continue;
    const auto format = streamFormatFor(input->currentMediaType());
    if (!format) continue;
    input->stream = writer_->addStream(*format);
    Track track;
    if (format->kind != avi::StreamKind::Audio) track.frameDuration = UNITS * format->scale / format->rate;
    if (format->kind == avi::StreamKind::Audio && format->sampleSize > 0) track.bytesPerSecond = format->rate;
    track.sound = format->kind == avi::StreamKind::Audio;
    tracks_.push_back(track);
  }
  if (tracks_.empty()) {
    writer_.reset();
    return S_OK;
  }
  writer_->setInterleaved(mode_ == INTERLEAVE_CAPTURE || mode_ == INTERLEAVE_FULL);
  if (!writer_->open(std::make_unique<StreamSink>(stream))) {
    writer_.reset();
    return E_FAIL;
  }
  return S_OK;
}

HRESULT AviMux::onStop() {
  std::lock_guard lock(lock_);
  drain(true);
  if (writer_) writer_->close();
  writer_.reset();
  return S_OK;
}

HRESULT AviMux::write(int stream, const MediaSample& sample) {
  std::lock_guard lock(lock_);
  if (!writer_ || stream < 0 || static_cast<size_t>(stream) >= tracks_.size()) return S_FALSE;
  if (writer_->failed()) return S_FALSE;
  Track& track = tracks_[static_cast<size_t>(stream)];
  uint8_t* data = nullptr;
  sample.GetPointer(&data);
  const auto size =
      static_cast<uint32_t>(std::max(0, std::min(sample.GetActualDataLength(), sample.GetSize())));
  REFERENCE_TIME start = 0, stop = 0;
  const bool timed = SUCCEEDED(sample.GetTime(&start, &stop));
  const bool sync = sample.IsSyncPoint() == S_OK || track.frameDuration == 0;
  const bool interleave = (mode_ == INTERLEAVE_CAPTURE || mode_ == INTERLEAVE_FULL) && tracks_.size() > 1;
  if (!interleave) return writeNow(stream, data, size, timed, start, sync) ? S_OK : S_FALSE;

  // Untimed samples are placed after what the stream has sent so far.
  REFERENCE_TIME key = start;
  if (!timed) {
    const REFERENCE_TIME origin = std::max<REFERENCE_TIME>(track.firstStart, 0);
    key = track.frameDuration > 0    ? origin + track.samplesSeen * track.frameDuration
          : track.bytesPerSecond > 0 ? origin + track.bytesSeen * UNITS / track.bytesPerSecond
                                     : origin;
  }
  ++track.samplesSeen;
  track.bytesSeen += size;
  const REFERENCE_TIME placed = key - (track.sound ? preroll_ : 0);
  const int64_t period = leaving_ <= 0 ? placed : placed / leaving_ - (placed % leaving_ < 0 ? 1 : 0);
  track.queue.push_back(Pending{std::vector<uint8_t>(data, data + size), timed, start, sync, key, period});
  queuedBytes_ += size;
  drain(false);
  return writer_ && !writer_->failed() ? S_OK : S_FALSE;
}

bool AviMux::writeNow(int stream, const uint8_t* data, uint32_t size, bool timed, REFERENCE_TIME start,
                      bool sync) {
  Track& track = tracks_[static_cast<size_t>(stream)];
  if (timed && track.frameDuration > 0) {
    if (track.firstStart < 0) track.firstStart = start;
    const int64_t due = (start - track.firstStart + track.frameDuration / 2) / track.frameDuration;
    // Frames lost upstream leave a hole in time: empty chunks keep the frame count in step.
    if (due > track.written && due - track.written <= kLongestGapFrames) {
      while (track.written < due && writer_->writeChunk(stream, nullptr, 0, false)) ++track.written;
    }
  }
  const bool ok = writer_->writeChunk(stream, reinterpret_cast<const char*>(data), size, sync);
  if (ok) ++track.written;
  if (!ok) raiseError();
  return ok;
}

void AviMux::raiseError() {
  if (errorRaised_) return;
  errorRaised_ = true;
  NotifyEvent(GraphEvent{EC_ERRORABORT, static_cast<intptr_t>(E_FAIL), 0, nullptr});
}

void AviMux::drain(bool everything) {
  const REFERENCE_TIME longestWait = mode_ == INTERLEAVE_FULL ? 10 * UNITS : 2 * UNITS;
  constexpr size_t kMostQueuedBytes = size_t{256} << 20;
  while (writer_) {
    if (writer_->failed()) {
      for (Track& t : tracks_) t.queue.clear();
      queuedBytes_ = 0;
      return;
    }
    int oldest = -1;
    bool everyStreamWaiting = true;
    REFERENCE_TIME newest = std::numeric_limits<REFERENCE_TIME>::min();
    for (size_t i = 0; i < tracks_.size(); ++i) {
      const auto& q = tracks_[i].queue;
      if (q.empty()) {
        everyStreamWaiting = false;
        continue;
      }
      newest = std::max(newest, q.back().key);
      // A period's chunks stream by stream, in time within a stream.
      if (oldest < 0 || q.front().period < tracks_[static_cast<size_t>(oldest)].queue.front().period)
        oldest = static_cast<int>(i);
    }
    if (oldest < 0) return;
    Track& track = tracks_[static_cast<size_t>(oldest)];
    const bool heldTooLong =
        newest - track.queue.front().key > longestWait || queuedBytes_ > kMostQueuedBytes;
    if (!everything && !everyStreamWaiting && !heldTooLong) return;
    Pending chunk = std::move(track.queue.front());
    track.queue.pop_front();
    queuedBytes_ -= chunk.data.size();
    writeNow(oldest, chunk.data.data(), static_cast<uint32_t>(chunk.data.size()), chunk.timed, chunk.start,
             chunk.sync);
  }
}

HRESULT AviMux::put_Mode(InterleavingMode mode) {
  if (static_cast<int>(mode) < 0 || mode > INTERLEAVE_NONE_BUFFERED) return E_INVALIDARG;
  mode_ = mode;
  return S_OK;
}

HRESULT AviMux::get_Mode(InterleavingMode* mode) {
  if (!mode) return E_POINTER;
  *mode = mode_;
  return S_OK;
}

HRESULT AviMux::put_Interleaving(const REFERENCE_TIME* leaving, const REFERENCE_TIME* preroll) {
  if ((leaving && *leaving < 0) || (preroll && *preroll < 0)) return E_INVALIDARG;
  std::lock_guard lock(lock_);
  if (leaving) leaving_ = *leaving;
  if (preroll) preroll_ = *preroll;
  return S_OK;
}

HRESULT AviMux::get_Interleaving(REFERENCE_TIME* leaving, REFERENCE_TIME* preroll) {
  std::lock_guard lock(lock_);
  if (leaving) *leaving = leaving_;
  if (preroll) *preroll = preroll_;
  return S_OK;
}

}  // namespace vistrel::platform::media
