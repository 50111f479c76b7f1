#pragma once
// WM ASF Writer: multiplexer and file sink in one filter. Pin 0 "Audio Input 01" takes PCM,
// pin 1 "Video Input 01" takes uncompressed video (RGB24, RGB32, YUY2, UYVY, I420, YV12, NV12)
// of any size; both exist from creation and keep their identity whatever the profile. The
// profile (a default one until ConfigureFilterUsingProfile) decides what is written: its first
// video stream (Windows Media Video 7/8 or MPEG-4 v3, scaled to the profile's size, at its
// frame rate, frames in excess dropped) and its first audio stream (Windows Media Audio,
// resampled to its rate and channels). A pin whose stream the profile lacks, or a stream whose
// pin is not connected, is left out of the file. The file is created when the graph leaves the
// stopped state and is complete when the filter stops.
//
// Threads: the two inputs receive on their upstream streaming threads, each encoder under its
// own lock and the multiplexer under a third; configuration on the user-interface thread.

#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/media/BaseFilter.h"
#include "platform/media/IConfigAsfWriter.h"
#include "platform/media/IFileSinkFilter.h"
#include "platform/media/MediaSample.h"
#include "platform/media/filters/FfmpegEncoders.h"

namespace vistrel::platform::media {

class AsfWriter : public BaseFilter, public IConfigAsfWriter, public IFileSinkFilter {
 public:
  AsfWriter();
  ~AsfWriter() override;
  static std::shared_ptr<IBaseFilter> create();

  HRESULT ConfigureFilterUsingProfile(const std::shared_ptr<wmf::IWMProfile>& profile) override;
  HRESULT ConfigureFilterUsingProfileGuid(const GUID& profileId) override;
  HRESULT GetCurrentProfileGuid(GUID& profileId) override;
  HRESULT GetCurrentProfile(std::shared_ptr<wmf::IWMProfile>& profile) override;
  HRESULT SetIndexMode(bool index) override;
  HRESULT GetIndexMode(bool& index) override;

  HRESULT SetFileName(const QString& fileName, const MediaType* type) override;
  HRESULT GetCurFile(QString& fileName, std::optional<MediaType>& type) override;

  // The stream descriptions in force (nullopt: the profile has none of that kind).
  const std::optional<wmf::WmStreamDesc>& videoStream() const { return video_; }
  const std::optional<wmf::WmStreamDesc>& audioStream() const { return audio_; }

  // Streaming threads (the input pins).
  HRESULT receiveVideo(const MediaSample& sample);
  HRESULT receiveAudio(const MediaSample& sample);

 protected:
  HRESULT onPause() override;
  HRESULT onStop() override;

 private:
  struct Output;
  HRESULT apply(const std::shared_ptr<wmf::IWMProfile>& profile);
  void finish();
  void raiseWriteError();

  std::mutex configLock_;
  QString fileName_;
  std::shared_ptr<wmf::IWMProfile> profile_;
  std::optional<wmf::WmStreamDesc> video_, audio_;
  bool index_ = true;

  std::mutex videoLock_, audioLock_;
  std::unique_ptr<Output> out_;
  std::atomic<bool> writeErrorRaised_{false};  // once per run
};

// The encoder settings a profile stream stands for (nullopt: a codec we do not write).
std::optional<VideoEncoderSettings> asfVideoSettings(const wmf::WmStreamDesc& stream);
std::optional<AudioEncoderSettings> asfAudioSettings(const wmf::WmStreamDesc& stream);

}  // namespace vistrel::platform::media
