#include "sources/Sources.h"

#include "sources/DVCaptureDevice.h"

namespace vistrel::sources {

using namespace platform::media;

void TavFlux::Attach(TCaptureDevice* device, int32_t stream) {
  Device = device;
  Stream = stream;
  if (auto* dv = dynamic_cast<TDVCaptureDevice*>(device)) SceneDetector = dv->SceneDetector();
}

TVideoSource::TVideoSource(TCaptureDevice* device, int32_t stream) {
  if (!device || stream < 1 || stream > device->VideoStreams) return;
  Attach(device, stream);
  if (stream == 1)
    SourceName = device->DisplayName + (device->AudioStreams > 0 ? QStringLiteral(" - Video") : QString());
  else
    SourceName = device->DisplayName + QStringLiteral(" #") + QString::number(stream);
}

TAudioSource::TAudioSource(TCaptureDevice* device, int32_t stream) {
  if (!device || stream < 1 || stream > device->AudioStreams) return;
  Attach(device, stream);
  if (stream == 1)
    SourceName = device->DisplayName + (device->VideoStreams > 0 ? QStringLiteral(" - Audio") : QString());
  else
    SourceName = device->DisplayName + QStringLiteral("#") + QString::number(stream);
}

void AddDeviceSources(const TCaptureDeviceList& devices, TvideoSourcesList& video, TAudioSourcesList& audio) {
  for (int i = 0; i < devices.Count(); ++i) {
    TCaptureDevice* d = devices.Items(i);
    for (int32_t s = 1; s <= d->VideoStreams; ++s) video.Add(std::make_unique<TVideoSource>(d, s));
    for (int32_t s = 1; s <= d->AudioStreams; ++s) audio.Add(std::make_unique<TAudioSource>(d, s));
  }
}

QString FourCCText(uint32_t code) {
  const char c[4] = {char(code & 0xFF), char((code >> 8) & 0xFF), char((code >> 16) & 0xFF),
                     char(code >> 24)};
  for (int i = 0; i < 3; ++i)
    if (uint8_t(c[i]) < 32) return {};
  if (code <= 0x1FFFFFFF) return {};
  return QString::fromLatin1(c, 4);
}

namespace {

void setDuration(TConnectedVideo& d, REFERENCE_TIME avg) {
  d.FrameDuration = static_cast<uint32_t>(static_cast<uint64_t>(avg) & 0xFFFFFFFFu);
  // Sources that report no rate are shown and timed as 25 frames per second.
  if (d.FrameDuration < 1000) d.FrameDuration = 400000;
  d.FramesPerSecond = 10000000.0 / d.FrameDuration;
}

}  // namespace

bool DescribeVideo(const MediaType& type, bool mpeg2RatioNormal, TConnectedVideo& d) {
  if (type.formattype == FORMAT_VideoInfo || type.formattype == FORMAT_MPEGVideo) {
    std::optional<VIDEOINFOHEADER> v = type.videoInfo();
    if (!v) return false;
    d.VideoWidth = v->bmiHeader.biWidth;
    d.VideoHeight = v->bmiHeader.biHeight;
    d.VideoFourCC = type.formattype == FORMAT_MPEGVideo ? QStringLiteral("MPEG1")
                                                        : FourCCText(v->bmiHeader.biCompression);
    d.AspectX = 0;
    d.AspectY = 0;
    setDuration(d, v->AvgTimePerFrame);
    d.TemporalCompression = type.bTemporalCompression;
    return true;
  }
  if (type.formattype == FORMAT_VideoInfo2 || type.formattype == FORMAT_MPEG2Video) {
    std::optional<VIDEOINFOHEADER2> v = type.videoInfo2();
    if (!v) return false;
    d.VideoWidth = v->bmiHeader.biWidth;
    d.VideoHeight = v->bmiHeader.biHeight;
    setDuration(d, v->AvgTimePerFrame);
    if (type.formattype == FORMAT_VideoInfo2) {
      d.VideoFourCC = FourCCText(v->bmiHeader.biCompression);
      d.AspectX = 0;
      d.AspectY = 0;
      d.TemporalCompression = type.bTemporalCompression;
      return true;
    }
    d.VideoFourCC = QStringLiteral("MPEG2");
    d.AspectX = static_cast<int32_t>(v->dwPictAspectRatioX);
    d.AspectY = static_cast<int32_t>(v->dwPictAspectRatioY);
    if (mpeg2RatioNormal &&
        (d.AspectX == 0 || d.AspectY == 0 || (d.AspectX == d.VideoWidth && d.AspectY == d.VideoHeight))) {
      d.AspectX = 4;
      d.AspectY = 3;
    }
    d.TemporalCompression = true;
    return true;
  }
  return false;
}

bool DescribeAudio(const MediaType& type, TConnectedAudio& d) {
  std::optional<WAVEFORMATEX> w = type.waveFormat();
  if (!w) return false;
  d.AudioRate = static_cast<int32_t>(w->nSamplesPerSec);
  d.AudioBits = w->wBitsPerSample;
  d.AudioChannels = w->nChannels;
  return true;
}

QString VideoDescriptionText(const TConnectedVideo& d) {
  QString text = d.VideoFourCC + QStringLiteral(" - ") + QString::number(d.VideoWidth) + QStringLiteral("x") +
                 QString::number(d.VideoHeight);
  if (d.FrameDuration != 0)
    text += QStringLiteral(" - ") + QString::number(d.FramesPerSecond, 'f', 2) + " fps";
  return text;
}

QString AudioDescriptionText(const TConnectedAudio& d) {
  return QString::number(d.AudioRate) + QStringLiteral(" Hz ") + QString::number(d.AudioBits) +
         QStringLiteral(" bits ") + QString::number(d.AudioChannels) + QStringLiteral(" canaux");
}

}  // namespace vistrel::sources
