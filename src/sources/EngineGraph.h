#pragma once
// What the capture devices need of the capture engine, gathered in one object so that this
// library never depends on the engine. The engine creates one EngineGraph when it is created,
// fills the graph, its builder, the spare `test` component and the two control time-stampers,
// sets the disconnect hooks, and hands it (by reference, it must outlive every device and list)
// to the device lists. The devices write the branch results (`VideoOutPin`, `VideoTee`,
// `AudioTee`) and the native formats; the engine reads them after each SetVideoGraph and
// SetAudioGraph. The engine keeps the current sources and the connected-stream descriptions here.
//
// User-interface thread only.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include "platform/media/CaptureGraphBuilder2.h"
#include "platform/media/FilterComponent.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/IFileSinkFilter.h"
#include "platform/media/IPin.h"

namespace vistrel::sources {

class TVideoSource;
class TAudioSource;
class TMonikerList;
class TpluginList;

// Graph names of the engine's control time-stampers that the devices place in their branches.
inline const QString kControlPreviewVideo = QStringLiteral("Control_Preview_Video");
inline const QString kControlPreviewAudio = QStringLiteral("Control_Preview_Audio");

// The description of the connected video stream, written by DescribeVideo (Sources.h).
struct TConnectedVideo {
  int32_t VideoWidth = 0;
  int32_t VideoHeight = 0;
  QString VideoFourCC;
  int32_t AspectX = 0;
  int32_t AspectY = 0;
  uint32_t FrameDuration = 0;  // 100-ns units
  double FramesPerSecond = 0;
  bool TemporalCompression = false;
};

// The description of the connected audio stream, written by DescribeAudio (Sources.h).
struct TConnectedAudio {
  int32_t AudioRate = 0;
  int32_t AudioBits = 0;
  int32_t AudioChannels = 0;
};

struct EngineGraph {
  // Set by the engine at its creation.
  std::shared_ptr<platform::media::FilterGraph> fg;
  std::shared_ptr<platform::media::CaptureGraphBuilder2> builder;  // bound to fg
  // The spare slot that ProbeDevice binds to each unknown moniker.
  std::shared_ptr<platform::media::FilterComponent> test =
      std::make_shared<platform::media::FilterComponent>(QStringLiteral("test"));
  // The engine's "Control_Preview_Video" and "Control_Preview_Audio" time-stampers; the devices
  // add them under those names and remove them again.
  std::shared_ptr<platform::media::IBaseFilter> controlPreviewVideo;
  std::shared_ptr<platform::media::IBaseFilter> controlPreviewAudio;
  // The crossbar monikers tried upstream of a capture filter with an analogue input (may stay
  // null: no crossbar is tried).
  const TMonikerList* crossbars = nullptr;
  // The registered plug-in modules that Refresh matches against moniker names (may stay null).
  TpluginList* plugins = nullptr;

  // The multiplexer and file sink of the last SetOutputFileName (native DV recording writes
  // them; the engine's recording chains and StopCapture use the same two).
  std::shared_ptr<platform::media::IBaseFilter> multiplexer;
  std::shared_ptr<platform::media::IFileSinkFilter> fileSink;

  // Branch results of the current video and audio branches.
  std::shared_ptr<platform::media::IPin> VideoOutPin;          // decoded video (RGB 24-bit), or null
  std::shared_ptr<platform::media::FilterComponent> VideoTee;  // raw video tee, or null
  std::shared_ptr<platform::media::FilterComponent> AudioTee;  // raw audio tee, or null
  bool DVHalfSize = false;
  // Written by a plug-in's video branch: its frames arrive bottom row first. The engine copies it
  // into the overlay filter's source-rows-inverted flag after SetVideoGraph.
  bool SourceRowsInverted = false;

  // Current sources (not owned; the source lists own them) and what was connected.
  TVideoSource* CurrentVideo = nullptr;
  TAudioSource* CurrentAudio = nullptr;
  TConnectedVideo VideoInfo;
  TConnectedAudio AudioInfo;
  // The engine's full disconnects, called by a refresh before it drops the device of a current
  // source and by a plug-in device's destruction. When unset, the source is only forgotten.
  std::function<bool(TVideoSource&, bool full)> DisconnectVideo;
  std::function<bool(TAudioSource&, bool full)> DisconnectAudio;
  // The window that hears of DV 16:9 changes from the scene detectors (0: none).
  uint64_t notifyWindow = 0;

  // Creates a fresh graph and builder (for tests and for the engine's creation).
  static std::unique_ptr<EngineGraph> create();
};

// Puts a component into the engine graph; false when the graph refuses it.
bool AddComponent(EngineGraph& engine, platform::media::FilterComponent& component);
// Takes a component out of whatever graph it is in.
void RemoveComponent(platform::media::FilterComponent& component);
// Adds a filter instance under a name when it is not in the graph yet.
bool AddNamedFilter(EngineGraph& engine, const std::shared_ptr<platform::media::IBaseFilter>& filter,
                    const QString& name);
// Removes a filter instance from the engine graph when it is in it.
void RemoveNamedFilter(EngineGraph& engine, const std::shared_ptr<platform::media::IBaseFilter>& filter);

// A device's audio branch: audio output `stream` (1-based) of `source` into the device's audio
// tee, which becomes the engine's `AudioTee`. The tee's free audio output, or null on failure.
std::shared_ptr<platform::media::IPin> ConnectAudioThroughTee(
    EngineGraph& engine, const std::shared_ptr<platform::media::IBaseFilter>& source,
    const std::shared_ptr<platform::media::FilterComponent>& tee, int32_t stream);

// Graph surgery shared with the engine: removes the filter owning `pin` and, depth first, every
// filter upstream of it, stopping at (and keeping) `stopFilter`. False on an exception.
bool RemoveUpstream(EngineGraph& engine, const std::shared_ptr<platform::media::IPin>& pin,
                    const std::shared_ptr<platform::media::IBaseFilter>& stopFilter);

// Pin n of a filter in enumeration order, or null.
std::shared_ptr<platform::media::IPin> PinOf(const std::shared_ptr<platform::media::IBaseFilter>& filter,
                                             int index);

}  // namespace vistrel::sources
