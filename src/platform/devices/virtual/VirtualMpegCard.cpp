#include "platform/devices/virtual/VirtualMpegCard.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <chrono>
#include <cstring>
#include <vector>

#include "platform/devices/LostDevicePins.h"
#include "platform/devices/virtual/TestPattern.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/MpegGuids.h"
#include "platform/media/MpegVideoInfo.h"
#include "platform/media/StreamingThread.h"
#include "platform/media/filters/FfmpegEncoders.h"

namespace vistrel::platform::devices {

using namespace media;

namespace {
constexpr int kWidth = 720, kHeight = 576;
constexpr REFERENCE_TIME kFrameTime = 400000;
constexpr int32_t kMaxPicture = 512 * 1024;

VideoEncoderSettings encoderSettings() {
  VideoEncoderSettings s;
  s.codec = VideoCodec::Mpeg2;
  s.width = kWidth;
  s.height = kHeight;
  s.frameDuration = kFrameTime;
  s.bitrate = 4'000'000;
  s.keyInterval = 12;
  s.maxBFrames = 0;  // a card hands out each picture as it is coded
  return s;
}

const MediaType& rgbInput() {
  static const MediaType t = MediaType::rgb24(kWidth, kHeight, kFrameTime);
  return t;
}

// Draws and encodes the test pattern picture by picture.
class PatternEncoder {
 public:
  bool open() { return SUCCEEDED(encoder_.open(encoderSettings(), rgbInput())); }
  // The coded picture `index` (one packet: no reordering without B-pictures).
  bool next(int64_t index, int64_t timeMs, EncodedPacket& packet) {
    rgb_.resize(dibRowBytes(kWidth, 24) * kHeight);
    renderTestPattern(rgb_.data(), kWidth, kHeight, index, timeMs, PatternSettings{});
    std::vector<EncodedPacket> out;
    if (FAILED(encoder_.encode(rgb_.data(), static_cast<int32_t>(rgb_.size()), index, out)) || out.empty())
      return false;
    packet = std::move(out.front());
    return true;
  }
  const AVCodecContext* context() const { return encoder_.context(); }

 private:
  VideoEncoder encoder_;
  std::vector<uint8_t> rgb_;
};

// The common streaming loop: `produce` fills the next sample, or answers false to skip a period.
class SourcePin : public BaseOutputPin {
 public:
  SourcePin(VirtualMpegSource* f, QString name, MediaType type)
      : BaseOutputPin(f, std::move(name), PIN_CATEGORY_CAPTURE), source_(f), type_(std::move(type)) {}
  ~SourcePin() override { thread_.stop(); }
  HRESULT CheckMediaType(const MediaType& type) override {
    return type == type_ ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    type = type_;
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    ALLOCATOR_PROPERTIES want = request, actual;
    want.cBuffers = std::max(want.cBuffers, 8);
    want.cbBuffer = std::max(want.cbBuffer, kMaxPicture);
    want.cbAlign = std::max(want.cbAlign, 1);
    const HRESULT hr = allocator.SetProperties(want, actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= kMaxPicture ? S_OK : E_FAIL;
  }
  void startStreaming() {
    if (connected_) thread_.start([this](StreamingThread& t) { stream(t); });
  }
  void stopStreaming() { thread_.stop(); }

 protected:
  // Streaming thread: prepare before the first picture, the bytes of picture `index`, and what
  // is left once the stream ends.
  virtual bool begin() = 0;
  virtual bool produce(int64_t index, int64_t timeMs, std::vector<uint8_t>& bytes, bool& key) = 0;
  virtual void end(std::vector<uint8_t>&) {}
  // The sample times: the stream time of the picture, or for a byte stream its byte offset.
  virtual void stamp(MediaSample& sample, REFERENCE_TIME streamTime, size_t bytes) = 0;

  VirtualMpegSource* source_;

 private:
  void send(std::vector<uint8_t>& bytes, bool key, REFERENCE_TIME when) {
    if (bytes.empty()) return;
    std::shared_ptr<MediaSample> sample;
    if (FAILED(GetDeliveryBuffer(sample, AM_GBF_NOWAIT)) ||
        sample->GetSize() < static_cast<int32_t>(bytes.size())) {
      source_->countDropped();
      return;
    }
    std::memcpy(sample->data(), bytes.data(), bytes.size());
    sample->SetActualDataLength(static_cast<int32_t>(bytes.size()));
    sample->SetSyncPoint(key);
    stamp(*sample, when, bytes.size());
    source_->countDelivered(static_cast<int32_t>(bytes.size()));
    Deliver(sample);
  }

  void stream(StreamingThread& thread) {
    if (!begin()) return;
    const auto period = std::chrono::nanoseconds(kFrameTime * 100);
    const auto t0 = std::chrono::steady_clock::now();
    std::vector<uint8_t> bytes;
    for (int64_t k = 0; thread.sleepUntil(t0 + k * period); ++k) {
      if (source_->deviceLost()) continue;
      const REFERENCE_TIME now = source_->streamTime();
      bool key = false;
      bytes.clear();
      if (produce(k, now / 10000, bytes, key)) send(bytes, key, now);
    }
    bytes.clear();
    end(bytes);
    send(bytes, true, source_->streamTime());
  }

  MediaType type_;
  StreamingThread thread_;
};

class Mpeg2VideoPin : public SourcePin {
 public:
  Mpeg2VideoPin(VirtualMpegSource* f, MediaType type)
      : SourcePin(f, QStringLiteral("Capture"), std::move(type)) {}

 protected:
  bool begin() override {
    encoder_ = std::make_unique<PatternEncoder>();
    return encoder_->open();
  }
  bool produce(int64_t index, int64_t timeMs, std::vector<uint8_t>& bytes, bool& key) override {
    EncodedPacket p;
    if (!encoder_->next(index, timeMs, p) || p.data.size() > static_cast<size_t>(kMaxPicture)) return false;
    bytes = std::move(p.data);
    key = p.key;
    return true;
  }
  void stamp(MediaSample& sample, REFERENCE_TIME when, size_t) override {
    REFERENCE_TIME stop = when + kFrameTime;
    sample.SetTime(&when, &stop);
  }

 private:
  std::unique_ptr<PatternEncoder> encoder_;
};

// The MPEG-2 program stream of the encoder, through libavformat's DVD/VOB multiplexer.
class ProgramStreamPin : public SourcePin {
 public:
  explicit ProgramStreamPin(VirtualMpegSource* f)
      : SourcePin(f, QStringLiteral("MPEG Out"),
                  MediaType(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_PROGRAM, FORMAT_None)) {}
  ~ProgramStreamPin() override { release(); }

 protected:
  bool begin() override {
    release();
    offset_ = 0;
    encoder_ = std::make_unique<PatternEncoder>();
    if (!encoder_->open()) return false;
    if (avformat_alloc_output_context2(&mux_, nullptr, "vob", nullptr) < 0 || !mux_) return false;
    auto* buffer = static_cast<uint8_t*>(av_malloc(4096));
    io_ = avio_alloc_context(buffer, 4096, 1, this, nullptr, &ProgramStreamPin::collect, nullptr);
    if (!io_) {
      av_free(buffer);
      return false;
    }
    mux_->pb = io_;
    AVStream* st = avformat_new_stream(mux_, nullptr);
    if (!st || avcodec_parameters_from_context(st->codecpar, encoder_->context()) < 0) return false;
    st->time_base = AVRational{1, 25};
    return avformat_write_header(mux_, nullptr) >= 0;
  }
  bool produce(int64_t index, int64_t timeMs, std::vector<uint8_t>& bytes, bool& key) override {
    EncodedPacket p;
    if (!encoder_->next(index, timeMs, p)) return false;
    AVPacket* pkt = av_packet_alloc();
    if (!pkt) return false;
    pkt->data = p.data.data();
    pkt->size = static_cast<int>(p.data.size());
    pkt->stream_index = 0;
    pkt->pts = av_rescale_q(p.pts, encoder_->context()->time_base, mux_->streams[0]->time_base);
    pkt->dts = av_rescale_q(p.dts, encoder_->context()->time_base, mux_->streams[0]->time_base);
    pkt->duration = av_rescale_q(1, AVRational{1, 25}, mux_->streams[0]->time_base);
    if (p.key) pkt->flags |= AV_PKT_FLAG_KEY;
    pending_.clear();
    const int r = av_write_frame(mux_, pkt);
    av_packet_free(&pkt);
    avio_flush(io_);
    if (r < 0) return false;
    bytes.swap(pending_);
    key = p.key;
    return !bytes.empty();
  }
  void end(std::vector<uint8_t>& bytes) override {
    if (!mux_) return;
    pending_.clear();
    av_write_trailer(mux_);
    avio_flush(io_);
    bytes.swap(pending_);
  }
  void stamp(MediaSample& sample, REFERENCE_TIME, size_t bytes) override {
    REFERENCE_TIME start = offset_, stop = offset_ + static_cast<REFERENCE_TIME>(bytes);
    sample.SetTime(&start, &stop);
    offset_ = stop;
  }

 private:
  static int collect(void* opaque, uint8_t* data, int size) {
    auto* self = static_cast<ProgramStreamPin*>(opaque);
    self->pending_.insert(self->pending_.end(), data, data + size);
    return size;
  }
  void release() {
    if (mux_) {
      mux_->pb = nullptr;
      avformat_free_context(mux_);
      mux_ = nullptr;
    }
    if (io_) {
      av_freep(&io_->buffer);
      avio_context_free(&io_);
    }
  }

  std::unique_ptr<PatternEncoder> encoder_;
  AVFormatContext* mux_ = nullptr;
  AVIOContext* io_ = nullptr;
  std::vector<uint8_t> pending_;
  REFERENCE_TIME offset_ = 0;
};

SourcePin* sourcePin(BasePin* p) { return dynamic_cast<SourcePin*>(p); }
}  // namespace

MpegCardSettings mpegCardSettings(const QStringList& options) {
  MpegCardSettings s;
  for (const QString& o : options) {
    const QString key = o.section(QLatin1Char('='), 0, 0).trimmed().toLower();
    const QStringList ratio = o.section(QLatin1Char('='), 1).trimmed().split(QLatin1Char(':'));
    bool okX = false, okY = false;
    if (key == QLatin1String("aspect") && ratio.size() == 2) {
      const uint32_t x = ratio[0].toUInt(&okX), y = ratio[1].toUInt(&okY);
      if (okX && okY && ((x == 0) == (y == 0))) {
        s.aspectX = x;
        s.aspectY = y;
        continue;
      }
    }
    if (s.error.isEmpty()) s.error = QStringLiteral("unknown or malformed MPEG card option \"%1\"").arg(o);
  }
  return s;
}

std::vector<uint8_t> findSequenceHeader(const std::vector<uint8_t>& stream) {
  auto startCodeAt = [&](size_t i) { return stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1; };
  size_t begin = stream.size();
  for (size_t i = 0; i + 3 < stream.size(); ++i)
    if (startCodeAt(i) && stream[i + 3] == 0xB3) {
      begin = i;
      break;
    }
  if (begin == stream.size()) return {};
  size_t end = stream.size();
  for (size_t i = begin + 4; i + 3 < stream.size(); ++i)
    if (startCodeAt(i) && stream[i + 3] != 0xB5) {  // extensions belong to the header
      end = i;
      break;
    }
  return std::vector<uint8_t>(stream.begin() + static_cast<std::ptrdiff_t>(begin),
                              stream.begin() + static_cast<std::ptrdiff_t>(end));
}

// ---------------------------------------------------------------------------------------------
VirtualMpegSource::VirtualMpegSource(const GUID& clsid, const QString& friendlyName)
    : BaseFilter(clsid, friendlyName) {}

VirtualMpegSource::~VirtualMpegSource() { haltStreaming(); }

void VirtualMpegSource::haltStreaming() {
  for (auto& p : pins_)
    if (auto* s = sourcePin(p.get())) s->stopStreaming();
}

HRESULT VirtualMpegSource::Stop() {
  haltStreaming();
  return BaseFilter::Stop();
}

HRESULT VirtualMpegSource::onPause() {
  haltStreaming();
  return S_OK;
}

HRESULT VirtualMpegSource::onRun(REFERENCE_TIME) {
  for (auto& p : pins_)
    if (auto* s = sourcePin(p.get())) s->startStreaming();
  return S_OK;
}

void VirtualMpegSource::setDeviceLost(bool lost) {
  if (lost_.exchange(lost) == lost) return;
  NotifyEvent(GraphEvent{EC_DEVICE_LOST, 0, lost ? 0 : 1, self()});
}

HRESULT VirtualMpegSource::EnumPins(std::shared_ptr<IEnumPins>& pins) {
  pins = visiblePins(pins_, lost_.load());
  return S_OK;
}

HRESULT VirtualMpegSource::JoinFilterGraph(const std::shared_ptr<IFilterGraph>& graph, const QString& name) {
  if (!graph) unlinkPins(pins_);  // the graph cannot unlink the outputs it no longer sees
  return BaseFilter::JoinFilterGraph(graph, name);
}

HRESULT VirtualMpegSource::GetNumDropped(int32_t& dropped) {
  dropped = static_cast<int32_t>(dropped_.load());
  return S_OK;
}

HRESULT VirtualMpegSource::GetNumNotDropped(int32_t& delivered) {
  delivered = static_cast<int32_t>(delivered_.load());
  return S_OK;
}

HRESULT VirtualMpegSource::GetAverageFrameSize(int32_t& size) {
  const int64_t n = delivered_.load();
  size = n ? static_cast<int32_t>(bytes_.load() / n) : 0;
  return S_OK;
}

VirtualMpegCard::VirtualMpegCard(const QString& friendlyName, const MpegCardSettings& settings)
    : VirtualMpegSource(CLSID_VirtualMpegCard, friendlyName) {
  // The format block carries the sequence header the encoder writes before its first picture.
  std::vector<uint8_t> header;
  PatternEncoder probe;
  EncodedPacket first;
  if (probe.open())
    for (int i = 0; i < 4 && header.empty(); ++i)
      if (probe.next(i, 0, first)) header = findSequenceHeader(first.data);
  MPEG2VIDEOINFO info;
  info.hdr.rcSource = info.hdr.rcTarget = RECT{0, 0, kWidth, kHeight};
  info.hdr.dwBitRate = 4'000'000;
  info.hdr.AvgTimePerFrame = kFrameTime;
  info.hdr.dwPictAspectRatioX = settings.aspectX;
  info.hdr.dwPictAspectRatioY = settings.aspectY;
  info.hdr.bmiHeader.biWidth = kWidth;
  info.hdr.bmiHeader.biHeight = kHeight;
  info.hdr.bmiHeader.biCompression = makeFourcc('M', 'P', 'G', '2');
  info.hdr.bmiHeader.biBitCount = 24;
  info.dwProfile = AM_MPEG2Profile_Main;
  info.dwLevel = AM_MPEG2Level_Main;
  type_ = MediaType(MEDIATYPE_Video, MEDIASUBTYPE_MPEG2_VIDEO, FORMAT_MPEG2Video);
  type_.format = mpegVideoBlock(info, header);
  type_.bFixedSizeSamples = false;
  type_.bTemporalCompression = true;
  type_.lSampleSize = 0;
  addPin(std::make_shared<Mpeg2VideoPin>(this, type_));
}

VirtualMpegEncoder::VirtualMpegEncoder(const QString& friendlyName)
    : VirtualMpegSource(CLSID_VirtualMpegEncoder, friendlyName) {
  addPin(std::make_shared<ProgramStreamPin>(this));
}

}  // namespace vistrel::platform::devices
