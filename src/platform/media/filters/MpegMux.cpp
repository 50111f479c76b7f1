#include "platform/media/filters/MpegMux.h"

#include <QLoggingCategory>
#include <algorithm>
#include <cstring>

#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/IStream.h"
#include "platform/media/filters/Mp3Encoder.h"
#include "platform/media/filters/MpegAudioFormats.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vistrel::platform::media {

Q_LOGGING_CATEGORY(lcMpegMux, "vistrel.mpegmux")

const char* const kMpegProgramMuxName = "MPEG-2 Program Stream Multiplexer";
const char* const kMpegSystemMuxName = "MPEG-1 System Stream Multiplexer";

namespace {

constexpr int64_t kClock = 90000;
// Every time stamp is moved by this much, so that the first pictures' decoding times (which
// come before their display) stay positive.
constexpr int64_t kOffset = kClock / 2;
constexpr int kChunk = 64 * 1024;

int64_t toClock(REFERENCE_TIME t) { return av_rescale(t, kClock, UNITS); }

// AvgTimePerFrame sits at the same offset in every video format block (VideoInfo, VideoInfo2,
// and the MPEG-1 and MPEG-2 blocks that begin with them).
REFERENCE_TIME frameDurationOf(const MediaType& t) {
  if (t.format.size() < 48) return 0;
  REFERENCE_TIME d = 0;
  std::memcpy(&d, t.format.data() + 40, sizeof d);
  return d > 0 && d < 10 * UNITS ? d : 0;
}

REFERENCE_TIME frameDurationFromCode(int code) {
  switch (code) {
    case 1: return 417083;  // 24000/1001
    case 2: return 416667;
    case 3: return 400000;
    case 4: return 333667;  // 30000/1001
    case 5: return 333333;
    case 6: return 200000;
    case 7: return 166833;
    case 8: return 166667;
    default: return 0;
  }
}

class MuxVideoInput : public BaseInputPin {
 public:
  explicit MuxVideoInput(MpegMux* f) : BaseInputPin(f, QStringLiteral("Video")), mux_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return mux_->acceptsVideo(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& s) override { return mux_->receiveVideo(*s); }

 private:
  MpegMux* mux_;
};

class MuxAudioInput : public BaseInputPin {
 public:
  explicit MuxAudioInput(MpegMux* f) : BaseInputPin(f, QStringLiteral("Audio")), mux_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return MpegMux::acceptsAudio(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& s) override { return mux_->receiveAudio(*s); }

 private:
  MpegMux* mux_;
};

class MuxOutput : public BaseOutputPin {
 public:
  MuxOutput(MpegMux* f, GUID subtype) : BaseOutputPin(f, QStringLiteral("Output")), subtype_(subtype) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return type.majortype == MEDIATYPE_Stream && (type.subtype == subtype_ || type.subtype.isNull())
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    type = MediaType(MEDIATYPE_Stream, subtype_, FORMAT_None);
    type.bFixedSizeSamples = false;
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    request.cBuffers = std::max(request.cBuffers, 8);
    request.cbBuffer = std::max(request.cbBuffer, kChunk);
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator.SetProperties(request, actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= kChunk ? S_OK : E_FAIL;
  }

 private:
  GUID subtype_;
};

int writeCallback(void* opaque, uint8_t* buf, int size) {
  return static_cast<MpegMux*>(opaque)->writeBytes(buf, size);
}

}  // namespace

// The open multiplexer of one run.
struct MpegMux::Output {
  AVFormatContext* fmt = nullptr;
  AVIOContext* io = nullptr;
  AVStream* video = nullptr;
  AVStream* audio = nullptr;
  AVCodecParserContext* parser = nullptr;
  AVCodecContext* parserContext = nullptr;
  AVPacket* pkt = nullptr;
  bool headerWritten = false;

  BaseOutputPin* sink = nullptr;
  std::shared_ptr<IStream> stream;  // for the end, written while the writer is stopped
  bool viaStream = false;
  int64_t position = 0;

  // Video timing.
  REFERENCE_TIME frameDuration = 0;
  bool videoTimed = false;
  REFERENCE_TIME videoBase = 0;
  int64_t coded = 0;
  int64_t gopBase = 0;
  bool gopSeen = false;
  int64_t wrapBase = 0;
  int lastTemporal = -1;

  // Audio timing.
  MpegAudioFramer framer;
  bool audioTimed = false;
  REFERENCE_TIME audioClock = 0;

  ~Output() { release(); }
  void release() {
    if (parser) av_parser_close(parser);
    parser = nullptr;
    avcodec_free_context(&parserContext);
    av_packet_free(&pkt);
    if (fmt) {
      avformat_free_context(fmt);
      fmt = nullptr;
    }
    if (io) {
      av_freep(&io->buffer);
      avio_context_free(&io);
    }
  }

  void writePacket(AVStream* st, const uint8_t* data, int size, int64_t pts, int64_t dts, bool key) {
    if (!fmt || !headerWritten || size <= 0) return;
    if (av_new_packet(pkt, size) < 0) return;
    std::memcpy(pkt->data, data, static_cast<size_t>(size));
    pkt->stream_index = st->index;
    pkt->pts = av_rescale_q(pts, AVRational{1, kClock}, st->time_base);
    pkt->dts = av_rescale_q(dts, AVRational{1, kClock}, st->time_base);
    if (key) pkt->flags |= AV_PKT_FLAG_KEY;
    if (av_interleaved_write_frame(fmt, pkt) < 0) qCWarning(lcMpegMux) << "packet refused";
    av_packet_unref(pkt);
  }

  // One whole picture (with whatever headers precede it).
  void picture(const uint8_t* data, int size) {
    int temporal = -1;
    bool intra = false;
    for (int i = 0; i + 5 < size; ++i) {
      if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
      const uint8_t code = data[i + 3];
      if (code == 0xB3 && i + 7 < size && frameDuration == 0) {
        frameDuration = frameDurationFromCode(data[i + 7] & 0x0F);
      } else if (code == 0xB8) {
        gopBase = coded;
        gopSeen = true;
        wrapBase = 0;
        lastTemporal = -1;
      } else if (code == 0x00) {
        temporal = (data[i + 4] << 2) | (data[i + 5] >> 6);
        intra = ((data[i + 5] >> 3) & 7) == 1;
        break;
      }
    }
    if (temporal < 0) return;  // no picture in it
    if (frameDuration == 0) frameDuration = 400000;
    // Without GOP headers the reference counts on modulo 1024.
    if (lastTemporal >= 0 && temporal < lastTemporal - 512) wrapBase += 1024;
    lastTemporal = temporal;
    const int64_t display = gopBase + wrapBase + temporal;
    const int64_t base = kOffset + toClock(videoBase);
    const int64_t dur = toClock(frameDuration);
    const int64_t pts = base + display * dur;
    const int64_t dts = std::min(pts, base + (coded - 1) * dur);
    ++coded;
    writePacket(video, data, size, pts, dts, intra);
  }

  void videoBytes(const uint8_t* data, int size) {
    while (size > 0 || !data) {
      uint8_t* out = nullptr;
      int outSize = 0;
      const int used = av_parser_parse2(parser, parserContext, &out, &outSize, data, data ? size : 0,
                                        AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
      if (outSize > 0) picture(out, outSize);
      if (!data) break;  // the final call gives the last picture
      // A picture that ends where this input begins comes out with nothing consumed.
      if (used <= 0 && outSize <= 0) break;
      data += used;
      size -= used;
    }
  }
};

MpegMux::MpegMux(MpegMuxKind kind)
    : BaseFilter(
          kind == MpegMuxKind::Program ? CLSID_MpegProgramMux : CLSID_MpegSystemMux,
          QString::fromLatin1(kind == MpegMuxKind::Program ? kMpegProgramMuxName : kMpegSystemMuxName)),
      kind_(kind) {
  addPin(std::make_shared<MuxOutput>(
      this, kind == MpegMuxKind::Program ? MEDIASUBTYPE_MPEG2_PROGRAM : MEDIASUBTYPE_MPEG1System));
  addPin(std::make_shared<MuxVideoInput>(this));
}

MpegMux::~MpegMux() { finish(); }

std::shared_ptr<IBaseFilter> MpegMux::createProgram() {
  return std::make_shared<MpegMux>(MpegMuxKind::Program);
}
std::shared_ptr<IBaseFilter> MpegMux::createSystem() {
  return std::make_shared<MpegMux>(MpegMuxKind::System);
}

bool MpegMux::acceptsVideo(const MediaType& type) const {
  if (type.majortype != MEDIATYPE_Video) return false;
  if (kind_ == MpegMuxKind::Program) return type.subtype == MEDIASUBTYPE_MPEG2_VIDEO;
  return type.subtype == MEDIASUBTYPE_MPEG1Payload || type.subtype == MEDIASUBTYPE_MPEG1Video ||
         type.subtype == MEDIASUBTYPE_MPEG1Packet;
}

bool MpegMux::acceptsAudio(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Audio) return false;
  if (type.subtype != MEDIASUBTYPE_MPEG1AudioPayload && type.subtype != MEDIASUBTYPE_MP3 &&
      type.subtype != MEDIASUBTYPE_MPEG1Payload && type.subtype != MEDIASUBTYPE_MPEG1Audio &&
      type.subtype != MEDIASUBTYPE_MPEG2_AUDIO)
    return false;
  auto w = type.waveFormat();
  if (!w) return type.formattype.isNull() || type.formattype == FORMAT_None;
  return w->nChannels >= 1 && w->nChannels <= 2 && w->nSamplesPerSec >= 8000 && w->nSamplesPerSec <= 48000;
}

void MpegMux::pinConnected(BasePin& p) {
  if (&p == pin(1) && pinCount() == 2) addPin(std::make_shared<MuxAudioInput>(this));
}

void MpegMux::pinDisconnected(BasePin& p) {
  if (&p == pin(1) && pinCount() == 3 && !pin(2)->isConnected()) removePin(pin(2));
}

int MpegMux::writeBytes(const uint8_t* data, int size) {
  Output* out = out_.get();
  if (!out || size <= 0) return size;
  if (out->viaStream) {
    if (!out->stream || FAILED(out->stream->Seek(out->position, STREAM_SEEK_SET, nullptr)))
      return AVERROR(EIO);
    uint32_t written = 0;
    if (FAILED(out->stream->Write(data, static_cast<uint32_t>(size), &written))) return AVERROR(EIO);
    out->position += written;
    return size;
  }
  for (int done = 0; done < size;) {
    std::shared_ptr<MediaSample> s;
    if (FAILED(out->sink->GetDeliveryBuffer(s))) return AVERROR(EIO);
    const int n = std::min(size - done, s->GetSize());
    std::memcpy(s->data(), data + done, static_cast<size_t>(n));
    s->SetActualDataLength(n);
    REFERENCE_TIME start = out->position, stop = out->position + n;
    s->SetTime(&start, &stop);
    out->sink->Deliver(s);
    out->position += n;
    done += n;
  }
  return size;
}

HRESULT MpegMux::onPause() {
  finish();
  auto* output = static_cast<BaseOutputPin*>(pin(0));
  auto* videoPin = pin(1);
  BasePin* audioPin = pinCount() > 2 ? pin(2) : nullptr;
  if (!output->isConnected() || !videoPin->isConnected()) return S_OK;  // nothing to write

  auto out = std::make_unique<Output>();
  out->sink = output;
  out->stream = interfaceOf<IStream>(output->peer());
  const char* format = kind_ == MpegMuxKind::Program ? "vob" : "mpeg";
  if (avformat_alloc_output_context2(&out->fmt, nullptr, format, nullptr) < 0 || !out->fmt) return E_FAIL;
  auto* buffer = static_cast<uint8_t*>(av_malloc(32768));
  out->io = avio_alloc_context(buffer, 32768, 1, this, nullptr, writeCallback, nullptr);
  if (!out->io) {
    av_free(buffer);
    return E_OUTOFMEMORY;
  }
  out->io->seekable = 0;
  out->fmt->pb = out->io;
  out->fmt->flags |= AVFMT_FLAG_CUSTOM_IO;

  const MediaType& vt = videoPin->currentMediaType();
  out->frameDuration = frameDurationOf(vt);
  out->video = avformat_new_stream(out->fmt, nullptr);
  out->video->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
  out->video->codecpar->codec_id =
      kind_ == MpegMuxKind::Program ? AV_CODEC_ID_MPEG2VIDEO : AV_CODEC_ID_MPEG1VIDEO;
  if (auto bmi = vt.bitmapHeader()) {
    out->video->codecpar->width = bmi->biWidth;
    out->video->codecpar->height = std::abs(bmi->biHeight);
  }
  if (vt.format.size() >= 36) {
    uint32_t bitrate = 0;
    std::memcpy(&bitrate, vt.format.data() + 32, sizeof bitrate);  // dwBitRate
    out->video->codecpar->bit_rate = bitrate;
  }
  out->video->time_base = AVRational{1, kClock};

  if (audioPin && audioPin->isConnected()) {
    const MediaType& at = audioPin->currentMediaType();
    auto w = at.waveFormat();
    out->audio = avformat_new_stream(out->fmt, nullptr);
    AVCodecParameters* par = out->audio->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = AV_CODEC_ID_MP2;
    if (at.subtype == MEDIASUBTYPE_MP3) par->codec_id = AV_CODEC_ID_MP3;
    if (w && at.format.size() >= sizeof(MPEG1WAVEFORMAT) && w->wFormatTag == WAVE_FORMAT_MPEG) {
      MPEG1WAVEFORMAT m;
      std::memcpy(&m, at.format.data(), sizeof m);
      if (m.fwHeadLayer == ACM_MPEG_LAYER3) par->codec_id = AV_CODEC_ID_MP3;
    }
    if (w) {
      par->sample_rate = static_cast<int>(w->nSamplesPerSec);
      av_channel_layout_default(&par->ch_layout, w->nChannels);
      par->bit_rate = int64_t(w->nAvgBytesPerSec) * 8;
    }
    out->audio->time_base = AVRational{1, kClock};
  }

  out->parserContext = avcodec_alloc_context3(nullptr);
  out->parser = av_parser_init(AV_CODEC_ID_MPEG2VIDEO);
  out->pkt = av_packet_alloc();
  if (!out->parserContext || !out->parser || !out->pkt) return E_OUTOFMEMORY;

  std::lock_guard g(lock_);
  out_ = std::move(out);
  if (avformat_write_header(out_->fmt, nullptr) < 0) {
    out_.reset();
    return E_FAIL;
  }
  out_->headerWritten = true;
  return S_OK;
}

HRESULT MpegMux::receiveVideo(const MediaSample& sample) {
  std::lock_guard g(lock_);
  Output* out = out_.get();
  if (!out || out->viaStream) return S_OK;
  if (!out->videoTimed) {
    REFERENCE_TIME start = 0, stop = 0;
    if (SUCCEEDED(sample.GetTime(&start, &stop))) out->videoBase = std::max<REFERENCE_TIME>(0, start);
    out->videoTimed = true;
  }
  const int32_t n = sample.GetActualDataLength();
  if (n > 0) out->videoBytes(sample.data(), n);
  return S_OK;
}

HRESULT MpegMux::receiveAudio(const MediaSample& sample) {
  std::lock_guard g(lock_);
  Output* out = out_.get();
  if (!out || out->viaStream || !out->audio) return S_OK;
  REFERENCE_TIME start = 0, stop = 0;
  const bool timed = SUCCEEDED(sample.GetTime(&start, &stop));
  out->framer.append(sample.data(), static_cast<size_t>(std::max(0, sample.GetActualDataLength())));
  std::vector<uint8_t> frame;
  MpegAudioHeader h;
  bool first = true;
  while (out->framer.next(frame, h)) {
    // A timed sample places its first whole frame; the others follow on.
    if (first && timed && (!out->audioTimed || std::llabs(start - out->audioClock) > UNITS / 10))
      out->audioClock = std::max<REFERENCE_TIME>(0, start);
    out->audioTimed = true;
    first = false;
    const int64_t pts = kOffset + toClock(out->audioClock);
    out->writePacket(out->audio, frame.data(), static_cast<int>(frame.size()), pts, pts, true);
    out->audioClock += int64_t(h.samples) * UNITS / h.sampleRate;
  }
  return S_OK;
}

void MpegMux::finish() {
  std::lock_guard g(lock_);
  Output* out = out_.get();
  if (!out) return;
  // Everything upstream has stopped; the writer takes the end through its stream.
  out->viaStream = true;
  if (out->headerWritten) {
    if (out->parser) out->videoBytes(nullptr, 0);
    av_write_trailer(out->fmt);
    avio_flush(out->io);
  }
  out_.reset();
}

HRESULT MpegMux::onStop() {
  finish();
  return S_OK;
}

}  // namespace vistrel::platform::media
