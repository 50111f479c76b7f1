#include "platform/media/filters/AsfWriter.h"

#include "platform/media/GraphEvent.h"

#include <QLoggingCategory>
#include <cmath>

#include "platform/media/BaseInputPin.h"
#include "platform/wmf/WmProfileManager.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace vistrel::platform::media {

Q_LOGGING_CATEGORY(lcAsf, "vistrel.asf")

namespace {

bool acceptsPcm(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM) return false;
  auto w = type.waveFormat();
  return w && (w->wBitsPerSample == 8 || w->wBitsPerSample == 16) && w->nChannels >= 1 && w->nChannels <= 8 &&
         w->nSamplesPerSec >= 1000 && w->nSamplesPerSec <= 192000;
}

class AsfInput : public BaseInputPin {
 public:
  AsfInput(AsfWriter* f, bool video)
      : BaseInputPin(f, video ? QStringLiteral("Video Input 01") : QStringLiteral("Audio Input 01")),
        writer_(f),
        video_(video) {}

  HRESULT CheckMediaType(const MediaType& type) override {
    if (video_) return isSupportedVideoInput(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    return acceptsPcm(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  // The type the current profile would write, uncompressed.
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    if (video_) {
      const auto& v = writer_->videoStream();
      if (!v) return VFW_S_NO_MORE_ITEMS;
      type = MediaType::rgb24(v->width, v->height, v->timePerFrame);
    } else {
      const auto& a = writer_->audioStream();
      if (!a) return VFW_S_NO_MORE_ITEMS;
      type = MediaType::pcm(a->sampleRate, a->channels, 16);
    }
    return S_OK;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
    return video_ ? writer_->receiveVideo(*sample) : writer_->receiveAudio(*sample);
  }

 private:
  AsfWriter* writer_;
  bool video_;
};

AVRational tbOf(const AVCodecContext* c) { return c->time_base; }

}  // namespace

std::optional<VideoEncoderSettings> asfVideoSettings(const wmf::WmStreamDesc& s) {
  VideoEncoderSettings v;
  if (s.codec == wmf::WMMEDIASUBTYPE_WMV2)
    v.codec = VideoCodec::Wmv2;
  else if (s.codec == wmf::WMMEDIASUBTYPE_WMV1)
    v.codec = VideoCodec::Wmv1;
  else if (s.codec == wmf::WMMEDIASUBTYPE_MP43)
    v.codec = VideoCodec::MsMpeg4v3;
  else
    return std::nullopt;
  v.width = s.width;
  v.height = s.height;
  v.frameDuration = s.timePerFrame;
  v.bitrate = s.bitrate;
  // A key frame every 5 seconds keeps seeking quick.
  v.keyInterval = s.timePerFrame > 0 ? static_cast<int>(std::max<int64_t>(1, 5 * UNITS / s.timePerFrame)) : 1;
  v.threads = 1;
  return v;
}

std::optional<AudioEncoderSettings> asfAudioSettings(const wmf::WmStreamDesc& s) {
  AudioEncoderSettings a;
  if (s.codec == wmf::WMMEDIASUBTYPE_WMAudioV2)
    a.codec = AudioCodec::Wmav2;
  else if (s.codec == wmf::WMMEDIASUBTYPE_WMAudioV1)
    a.codec = AudioCodec::Wmav1;
  else
    return std::nullopt;
  a.sampleRate = s.sampleRate;
  a.channels = s.channels;
  a.bitrate = s.bitrate;
  return a;
}

// The open file with its encoders.
struct AsfWriter::Output {
  AVFormatContext* fmt = nullptr;
  AVStream* videoStream = nullptr;
  AVStream* audioStream = nullptr;
  VideoEncoder video;
  AudioEncoder audio;
  REFERENCE_TIME frameDuration = 0;
  int64_t lastFrame = -1;
  bool audioStarted = false;
  int64_t audioOffset = 0;  // in output samples
  std::mutex muxLock;
  bool failed = false;

  ~Output() { release(); }
  void release() {
    if (fmt) {
      if (fmt->pb) avio_closep(&fmt->pb);
      avformat_free_context(fmt);
      fmt = nullptr;
    }
  }

  // Any streaming thread. True when this call found the file failing (a full disk): the caller
  // tells the graph, once; nothing more is written then.
  bool write(AVStream* st, const AVCodecContext* enc, std::vector<EncodedPacket>& packets, int64_t offset) {
    std::lock_guard g(muxLock);
    if (!fmt || failed) {
      packets.clear();
      return false;
    }
    AVPacket* pkt = av_packet_alloc();
    for (auto& p : packets) {
      if (p.data.empty()) continue;
      if (av_new_packet(pkt, static_cast<int>(p.data.size())) < 0) break;
      std::memcpy(pkt->data, p.data.data(), p.data.size());
      pkt->pts = std::max<int64_t>(0, p.pts + offset);
      pkt->dts = std::max<int64_t>(0, p.dts + offset);
      if (pkt->dts > pkt->pts) pkt->dts = pkt->pts;
      if (p.key) pkt->flags |= AV_PKT_FLAG_KEY;
      pkt->stream_index = st->index;
      av_packet_rescale_ts(pkt, tbOf(enc), st->time_base);
      const int result = av_interleaved_write_frame(fmt, pkt);
      av_packet_unref(pkt);
      if (result < 0) {
        qCWarning(lcAsf) << "packet refused by the ASF muxer";
        // A write error stays: what follows could not be written either.
        if (fmt->pb && fmt->pb->error < 0) {
          failed = true;
          break;
        }
      }
    }
    av_packet_free(&pkt);
    packets.clear();
    return failed;
  }
};

AsfWriter::AsfWriter() : BaseFilter(CLSID_WMAsfWriter, QStringLiteral("WM ASF Writer")) {
  addPin(std::make_shared<AsfInput>(this, false));
  addPin(std::make_shared<AsfInput>(this, true));
  std::shared_ptr<wmf::IWMProfileManager> manager;
  std::shared_ptr<wmf::IWMProfile> profile;
  wmf::WMCreateProfileManager(manager);
  if (manager && SUCCEEDED(manager->LoadProfileByID(wmf::WMProfile_Preset_Medium, profile))) apply(profile);
}

AsfWriter::~AsfWriter() { finish(); }

std::shared_ptr<IBaseFilter> AsfWriter::create() { return std::make_shared<AsfWriter>(); }

HRESULT AsfWriter::apply(const std::shared_ptr<wmf::IWMProfile>& profile) {
  uint32_t count = 0;
  profile->GetStreamCount(count);
  std::optional<wmf::WmStreamDesc> video, audio;
  for (uint32_t i = 0; i < count; ++i) {
    std::shared_ptr<wmf::IWMStreamConfig> s;
    if (FAILED(profile->GetStream(i, s)) || !s) continue;
    wmf::WmStreamDesc d = wmf::describeStream(*s);
    if (d.type == MEDIATYPE_Video && !video) {
      auto settings = asfVideoSettings(d);
      if (!settings || d.bitrate == 0 || FAILED(VideoEncoder::check(*settings))) return E_INVALIDARG;
      video = d;
    } else if (d.type == MEDIATYPE_Audio && !audio) {
      auto settings = asfAudioSettings(d);
      if (!settings || FAILED(AudioEncoder::check(*settings))) return E_INVALIDARG;
      audio = d;
    }
  }
  if (!video && !audio) return E_INVALIDARG;
  std::lock_guard g(configLock_);
  profile_ = profile;
  video_ = video;
  audio_ = audio;
  return S_OK;
}

HRESULT AsfWriter::ConfigureFilterUsingProfile(const std::shared_ptr<wmf::IWMProfile>& profile) {
  if (!profile) return E_POINTER;
  if (state() != State_Stopped) return VFW_E_NOT_STOPPED;
  return apply(profile);
}

HRESULT AsfWriter::ConfigureFilterUsingProfileGuid(const GUID& profileId) {
  std::shared_ptr<wmf::IWMProfileManager> manager;
  std::shared_ptr<wmf::IWMProfile> profile;
  wmf::WMCreateProfileManager(manager);
  HRESULT hr = manager->LoadProfileByID(profileId, profile);
  if (FAILED(hr)) return hr;
  return ConfigureFilterUsingProfile(profile);
}

HRESULT AsfWriter::GetCurrentProfileGuid(GUID& profileId) {
  std::lock_guard g(configLock_);
  profileId = GUID_NULL;
  if (!profile_) return E_FAIL;
  return profile_->GetProfileID(profileId);
}

HRESULT AsfWriter::GetCurrentProfile(std::shared_ptr<wmf::IWMProfile>& profile) {
  std::lock_guard g(configLock_);
  profile = profile_;
  return profile ? S_OK : E_FAIL;
}

HRESULT AsfWriter::SetIndexMode(bool index) {
  index_ = index;
  return S_OK;
}

HRESULT AsfWriter::GetIndexMode(bool& index) {
  index = index_;
  return S_OK;
}

HRESULT AsfWriter::SetFileName(const QString& fileName, const MediaType*) {
  if (fileName.isEmpty()) return E_INVALIDARG;
  if (state() != State_Stopped) return VFW_E_NOT_STOPPED;
  std::lock_guard g(configLock_);
  fileName_ = fileName;
  return S_OK;
}

HRESULT AsfWriter::GetCurFile(QString& fileName, std::optional<MediaType>& type) {
  std::lock_guard g(configLock_);
  fileName = fileName_;
  type.reset();
  return S_OK;
}

HRESULT AsfWriter::onPause() {
  finish();
  writeErrorRaised_ = false;
  QString file;
  std::optional<wmf::WmStreamDesc> video, audio;
  {
    std::lock_guard g(configLock_);
    file = fileName_;
    video = video_;
    audio = audio_;
  }
  if (file.isEmpty()) return E_FAIL;
  auto* videoPin = static_cast<BasePin*>(pin(1));
  auto* audioPin = static_cast<BasePin*>(pin(0));
  const bool withVideo = video && videoPin->isConnected();
  const bool withAudio = audio && audioPin->isConnected();
  if (!withVideo && !withAudio) return VFW_E_NOT_CONNECTED;

  auto out = std::make_unique<Output>();
  const QByteArray path = file.toUtf8();
  if (avformat_alloc_output_context2(&out->fmt, nullptr, "asf", path.constData()) < 0 || !out->fmt)
    return E_FAIL;
  if (withVideo) {
    if (FAILED(out->video.open(*asfVideoSettings(*video), videoPin->currentMediaType()))) return E_FAIL;
    out->frameDuration = video->timePerFrame;
    out->videoStream = avformat_new_stream(out->fmt, nullptr);
    if (!out->videoStream) return E_OUTOFMEMORY;
    avcodec_parameters_from_context(out->videoStream->codecpar, out->video.context());
    out->videoStream->codecpar->codec_tag = 0;
    out->videoStream->time_base = out->video.context()->time_base;
    out->videoStream->avg_frame_rate = out->video.context()->framerate;
  }
  if (withAudio) {
    auto in = audioPin->currentMediaType().waveFormat();
    if (!in || FAILED(out->audio.open(*asfAudioSettings(*audio), *in))) return E_FAIL;
    out->audioStream = avformat_new_stream(out->fmt, nullptr);
    if (!out->audioStream) return E_OUTOFMEMORY;
    avcodec_parameters_from_context(out->audioStream->codecpar, out->audio.context());
    out->audioStream->codecpar->codec_tag = 0;
    out->audioStream->time_base = out->audio.context()->time_base;
  }
  if (avio_open(&out->fmt->pb, path.constData(), AVIO_FLAG_WRITE) < 0) {
    qCWarning(lcAsf) << "cannot create" << file;
    return E_FAIL;
  }
  if (avformat_write_header(out->fmt, nullptr) < 0) return E_FAIL;
  std::scoped_lock g(videoLock_, audioLock_);
  out_ = std::move(out);
  return S_OK;
}

HRESULT AsfWriter::receiveVideo(const MediaSample& sample) {
  std::lock_guard g(videoLock_);
  Output* out = out_.get();
  if (!out || !out->videoStream) return S_OK;  // the profile has no video: the pin is unused
  int64_t index = out->lastFrame + 1;
  REFERENCE_TIME start = 0, stop = 0;
  if (SUCCEEDED(sample.GetTime(&start, &stop)) && out->frameDuration > 0)
    index = std::max<int64_t>(0, (start + out->frameDuration / 2) / out->frameDuration);
  // Frames faster than the profile's rate fall on an index already written.
  if (index <= out->lastFrame) return S_OK;
  std::vector<EncodedPacket> packets;
  HRESULT hr = out->video.encode(sample.data(), sample.GetActualDataLength(), index, packets);
  if (FAILED(hr)) return hr == E_INVALIDARG ? S_OK : hr;  // a short frame is skipped
  out->lastFrame = index;
  if (out->write(out->videoStream, out->video.context(), packets, 0)) raiseWriteError();
  return S_OK;
}

HRESULT AsfWriter::receiveAudio(const MediaSample& sample) {
  std::lock_guard g(audioLock_);
  Output* out = out_.get();
  if (!out || !out->audioStream) return S_OK;
  if (!out->audioStarted) {
    REFERENCE_TIME start = 0, stop = 0;
    if (SUCCEEDED(sample.GetTime(&start, &stop)) && start > 0)
      out->audioOffset = av_rescale(start, out->audio.context()->sample_rate, UNITS);
    out->audioStarted = true;
  }
  std::vector<EncodedPacket> packets;
  HRESULT hr = out->audio.encode(sample.data(), sample.GetActualDataLength(), packets);
  if (FAILED(hr)) return hr;
  if (out->write(out->audioStream, out->audio.context(), packets, out->audioOffset)) raiseWriteError();
  return S_OK;
}

// The recording cannot go on: the graph's owner is told once, as the AVI Mux does.
void AsfWriter::raiseWriteError() {
  if (writeErrorRaised_.exchange(true)) return;
  NotifyEvent(GraphEvent{EC_ERRORABORT, static_cast<intptr_t>(E_FAIL), 0, nullptr});
}

void AsfWriter::finish() {
  std::unique_ptr<Output> out;
  {
    std::scoped_lock g(videoLock_, audioLock_);
    out = std::move(out_);
  }
  if (!out) return;
  std::vector<EncodedPacket> packets;
  if (out->videoStream) {
    out->video.flush(packets);
    out->write(out->videoStream, out->video.context(), packets, 0);
  }
  if (out->audioStream) {
    out->audio.flush(packets);
    out->write(out->audioStream, out->audio.context(), packets, out->audioOffset);
  }
  std::lock_guard g(out->muxLock);
  if (out->fmt) av_write_trailer(out->fmt);
  out->release();
}

HRESULT AsfWriter::onStop() {
  finish();
  return S_OK;
}

}  // namespace vistrel::platform::media
