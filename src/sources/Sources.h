#pragma once
// The sources: one per stream of a device, what the user picks and the settings remember by
// name, and the descriptions of the connected video and audio streams.
// User-interface thread only.
#include <QString>
#include <memory>
#include <vector>
#include "filters/Tvt_SceneDetect.h"
#include "platform/media/MediaType.h"
#include "sources/CaptureDevice.h"

namespace vistrel::sources {

class TcamForm;  // the camcorder window, attached by the engine while connected

class TavFlux {
 public:
  virtual ~TavFlux() = default;
  TavFlux(const TavFlux&) = delete;
  TavFlux& operator=(const TavFlux&) = delete;

  QString SourceName;
  TCaptureDevice* Device = nullptr;  // not owned; null when the stream number was out of range
  int32_t Stream = 0;
  bool Connected = false;
  bool HasTransport = false;
  bool IsVcr = false;
  TcamForm* CamWindow = nullptr;
  std::shared_ptr<filters::Tvt_SceneDetect> SceneDetector;  // DV devices only

  // False for a source whose stream number was outside its device's count: it must not be
  // listed or used.
  bool Valid() const { return Device != nullptr; }

 protected:
  TavFlux() = default;
  void Attach(TCaptureDevice* device, int32_t stream);
};

class TVideoSource : public TavFlux {
 public:
  // Named after the device: stream 1 takes DisplayName (+ " - Video" when the device has audio
  // streams too), stream n >= 2 DisplayName + " #" + n.
  TVideoSource(TCaptureDevice* device, int32_t stream);
};

class TAudioSource : public TavFlux {
 public:
  // Stream 1: DisplayName (+ " - Audio" when the device has video streams too); stream n >= 2:
  // DisplayName + "#" + n.
  TAudioSource(TCaptureDevice* device, int32_t stream);
};

// An owning list of sources; find by name is exact and case-sensitive, the first match wins.
template <class Source>
class TSourcesList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  Source* Items(int index) const {
    return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)].get() : nullptr;
  }
  Source* Find(const QString& name) const {
    for (const auto& s : items_)
      if (s->SourceName == name) return s.get();
    return nullptr;
  }
  int IndexOf(const QString& name) const {
    for (int i = 0; i < Count(); ++i)
      if (items_[static_cast<size_t>(i)]->SourceName == name) return i;
    return -1;
  }
  // Takes the source when it is valid; an empty one is destroyed. The added source or null.
  Source* Add(std::unique_ptr<Source> source) {
    if (!source || !source->Valid()) return nullptr;
    items_.push_back(std::move(source));
    return items_.back().get();
  }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<Source>> items_;
};

using TvideoSourcesList = TSourcesList<TVideoSource>;
using TAudioSourcesList = TSourcesList<TAudioSource>;

// One video source per video stream and one audio source per audio stream of every device of
// the lists, streams numbered from 1, in list order.
void AddDeviceSources(const TCaptureDeviceList& devices, TvideoSourcesList& video, TAudioSourcesList& audio);

// The connected-video description from the raw stream's media type. Other format types leave
// `description` as it is; false then. `mpeg2RatioNormal` is the "Mpeg2 Ratio Normal" setting.
bool DescribeVideo(const platform::media::MediaType& type, bool mpeg2RatioNormal,
                   TConnectedVideo& description);
// The connected-audio description from a WAVEFORMATEX type; false (unchanged) without one.
bool DescribeAudio(const platform::media::MediaType& type, TConnectedAudio& description);
// "FOURCC - 720x576 - 25.00 fps" (the rate only when FrameDuration is not 0).
QString VideoDescriptionText(const TConnectedVideo& description);
// "48000 Hz 16 bits 2 canaux".
QString AudioDescriptionText(const TConnectedAudio& description);
// The four characters of a code when the first three are at least 32 and the whole value
// exceeds 0x1FFFFFFF, else empty.
QString FourCCText(uint32_t code);

}  // namespace vistrel::sources
