#include "platform/media/encoders/Encoders_fixture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/media/FilterMapper.h"
#include "platform/media/filters/AviMux.h"
#include "platform/media/filters/EncoderFilters.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vistrel::testing {

namespace {
class PushOutput : public BaseOutputPin {
 public:
  PushOutput(PushSource* f, MediaType type)
      : BaseOutputPin(f, QStringLiteral("out")), type_(std::move(type)) {}
  HRESULT CheckMediaType(const MediaType& t) override { return t == type_ ? S_OK : VFW_E_TYPE_NOT_ACCEPTED; }
  HRESULT GetMediaType(int position, MediaType& t) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    t = type_;
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    int32_t size = 256 * 1024;
    if (auto bmi = type_.bitmapHeader())
      size = std::max<int32_t>(size, static_cast<int32_t>(bmi->biSizeImage));
    request.cBuffers = std::max(request.cBuffers, 4);
    request.cbBuffer = std::max(request.cbBuffer, size);
    ALLOCATOR_PROPERTIES actual;
    return allocator.SetProperties(request, actual);
  }

 private:
  MediaType type_;
};
}  // namespace

PushSource::PushSource(const MediaType& type)
    : BaseFilter(GUID_NULL, QStringLiteral("Push source")), type_(type) {
  addPin(std::make_shared<PushOutput>(this, type));
}

std::shared_ptr<PushSource> PushSource::create(const MediaType& type) {
  return std::make_shared<PushSource>(type);
}

std::shared_ptr<IPin> PushSource::output() { return std::dynamic_pointer_cast<IPin>(pins_[0]); }

HRESULT PushSource::push(const void* data, int32_t size, REFERENCE_TIME start, REFERENCE_TIME stop) {
  auto* out = static_cast<BaseOutputPin*>(pins_[0].get());
  std::shared_ptr<MediaSample> s;
  HRESULT hr = out->GetDeliveryBuffer(s);
  if (FAILED(hr)) return hr;
  if (size > s->GetSize()) return VFW_E_BUFFER_OVERFLOW;
  std::memcpy(s->data(), data, static_cast<size_t>(size));
  s->SetActualDataLength(size);
  if (start >= 0) s->SetTime(&start, stop >= 0 ? &stop : nullptr);
  s->SetSyncPoint(true);
  return out->Deliver(s);
}

std::vector<uint8_t> rgbFrame(int width, int height, int n) {
  const int stride = static_cast<int>(dibRowBytes(width, 24));
  std::vector<uint8_t> f(static_cast<size_t>(stride) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &f[static_cast<size_t>(y) * stride + x * 3];
      p[0] = static_cast<uint8_t>(x * 2 + n * 3);
      p[1] = static_cast<uint8_t>(y * 2 + n);
      p[2] = static_cast<uint8_t>(((x / 16 + y / 16 + n / 5) % 2) * 200);
    }
  return f;
}

std::vector<uint8_t> i420Frame(int width, int height, int n) {
  std::vector<uint8_t> f(static_cast<size_t>(width) * height * 3 / 2);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      f[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(x + y + n * 4);
  std::fill(f.begin() + static_cast<ptrdiff_t>(width) * height, f.end(), static_cast<uint8_t>(128 + n % 32));
  return f;
}

std::vector<uint8_t> toneBlock(int frames, int rate, int channels, double& phase) {
  std::vector<uint8_t> b(static_cast<size_t>(frames) * channels * 2);
  auto* s = reinterpret_cast<int16_t*>(b.data());
  for (int i = 0; i < frames; ++i) {
    const auto v = static_cast<int16_t>(std::sin(phase) * 8000);
    for (int c = 0; c < channels; ++c) s[i * channels + c] = v;
    phase += 2 * M_PI * 440.0 / rate;
  }
  return b;
}

void pushAv(PushSource* video, PushSource* audio, int count, REFERENCE_TIME frameDuration, int width,
            int height, int rate, int channels) {
  const REFERENCE_TIME block = 400000;  // 40 ms
  const int blockFrames = static_cast<int>(rate * block / UNITS);
  double phase = 0;
  REFERENCE_TIME audioTime = 0;
  for (int i = 0; i < count; ++i) {
    const REFERENCE_TIME t = i * frameDuration;
    if (video) {
      auto f = rgbFrame(width, height, i);
      video->push(f.data(), static_cast<int32_t>(f.size()), t, t + frameDuration);
    }
    while (audio && audioTime <= t) {
      auto b = toneBlock(blockFrames, rate, channels, phase);
      audio->push(b.data(), static_cast<int32_t>(b.size()), audioTime, audioTime + block);
      audioTime += block;
    }
  }
}

void registerFilters() {
  auto mapper = FilterMapper::instance();
  registerEncoderFilters(*mapper);
  bool avi = false;
  for (const auto& r : mapper->registrations())
    if (r.clsid == CLSID_AviDest) avi = true;
  if (!avi)
    mapper->RegisterFilter({CLSID_AviDest,
                            QStringLiteral("AVI Mux"),
                            MERIT_DO_NOT_USE,
                            CLSID_LegacyAmFilterCategory,
                            {{PINDIR_OUTPUT, false, {{MEDIATYPE_Stream, MEDIASUBTYPE_Avi}}, GUID_NULL}},
                            &AviMux::create});
}

std::shared_ptr<IPin> pinOf(const std::shared_ptr<IBaseFilter>& filter, int index) {
  std::shared_ptr<IEnumPins> e;
  if (!filter || FAILED(filter->EnumPins(e))) return nullptr;
  const auto& all = e->all();
  return index >= 0 && index < static_cast<int>(all.size()) ? all[static_cast<size_t>(index)] : nullptr;
}

int pinCount(const std::shared_ptr<IBaseFilter>& filter) {
  std::shared_ptr<IEnumPins> e;
  if (!filter || FAILED(filter->EnumPins(e))) return 0;
  return static_cast<int>(e->all().size());
}

const StreamInfo* FileInfo::first(bool video) const {
  for (const auto& s : streams)
    if (s.video == video) return &s;
  return nullptr;
}

FileInfo probeFile(const QString& path, const char* format) {
  FileInfo info;
  AVFormatContext* fmt = nullptr;
  const AVInputFormat* forced = format ? av_find_input_format(format) : nullptr;
  const QByteArray p = path.toUtf8();
  if (avformat_open_input(&fmt, p.constData(), forced, nullptr) < 0) return info;
  if (avformat_find_stream_info(fmt, nullptr) < 0) {
    avformat_close_input(&fmt);
    return info;
  }
  info.opened = true;
  info.format = QString::fromUtf8(fmt->iformat->name);
  std::vector<AVCodecContext*> decoders;
  std::vector<int64_t> firstPts, lastEnd;
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    const AVCodecParameters* par = fmt->streams[i]->codecpar;
    StreamInfo s;
    s.codec = QString::fromUtf8(avcodec_get_name(par->codec_id));
    s.video = par->codec_type == AVMEDIA_TYPE_VIDEO;
    s.width = par->width;
    s.height = par->height;
    s.frameRate = av_q2d(fmt->streams[i]->avg_frame_rate);
    s.sampleRate = par->sample_rate;
    s.channels = par->ch_layout.nb_channels;
    s.bitrate = par->bit_rate;
    s.codecTag = par->codec_tag;
    info.streams.push_back(s);
    const AVCodec* dec = avcodec_find_decoder(par->codec_id);
    AVCodecContext* ctx = dec ? avcodec_alloc_context3(dec) : nullptr;
    if (ctx && (avcodec_parameters_to_context(ctx, par) < 0 || avcodec_open2(ctx, dec, nullptr) < 0))
      avcodec_free_context(&ctx);
    decoders.push_back(ctx);
    firstPts.push_back(AV_NOPTS_VALUE);
    lastEnd.push_back(AV_NOPTS_VALUE);
  }
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto drain = [&](size_t i) {
    while (decoders[i] && avcodec_receive_frame(decoders[i], frame) == 0) {
      info.streams[i].decodedFrames++;
      av_frame_unref(frame);
    }
  };
  while (av_read_frame(fmt, pkt) >= 0) {
    const auto i = static_cast<size_t>(pkt->stream_index);
    if (i < info.streams.size()) {
      info.streams[i].packets++;
      const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
      if (ts != AV_NOPTS_VALUE) {
        if (firstPts[i] == AV_NOPTS_VALUE || ts < firstPts[i]) firstPts[i] = ts;
        const int64_t end = ts + pkt->duration;
        if (lastEnd[i] == AV_NOPTS_VALUE || end > lastEnd[i]) lastEnd[i] = end;
      }
      if (decoders[i] && avcodec_send_packet(decoders[i], pkt) == 0) drain(i);
    }
    av_packet_unref(pkt);
  }
  for (size_t i = 0; i < decoders.size(); ++i) {
    if (decoders[i] && avcodec_send_packet(decoders[i], nullptr) == 0) drain(i);
    if (firstPts[i] != AV_NOPTS_VALUE)
      info.streams[i].duration =
          static_cast<double>(lastEnd[i] - firstPts[i]) * av_q2d(fmt->streams[i]->time_base);
    avcodec_free_context(&decoders[i]);
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avformat_close_input(&fmt);
  return info;
}

}  // namespace vistrel::testing
