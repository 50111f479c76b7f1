#pragma once
// The capture device model: one device that can feed the engine graph, with the eight graph
// operations that build and remove its pieces, and the list of devices of one category.
//
// Every operation runs on the user-interface thread and never lets an exception out: a failure
// gives false, a null pin or nothing at all, as each operation says.
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>
#include "platform/media/FilterComponent.h"
#include "platform/media/IMoniker.h"
#include "sources/EngineGraph.h"

namespace vistrel::sources {

// `DeviceKind` values, also the results of ProbeDevice (kStreamDevice is never created).
enum : uint8_t {
  kDeviceNone = 0,
  kDeviceDV = 1,
  kDevicePlugIn = 2,
  kDeviceVideo = 3,
  kDeviceAudio = 4,
  kStreamDevice = 5,
};

class TCaptureDevice {
 public:
  virtual ~TCaptureDevice();
  TCaptureDevice(const TCaptureDevice&) = delete;
  TCaptureDevice& operator=(const TCaptureDevice&) = delete;

  QString DisplayName;  // friendly name, + " #" + Instance when Instance > 1
  QString DeviceName;   // moniker friendly name or plug-in driver name
  int32_t Instance = 1;
  int32_t VideoStreams = 0;
  int32_t AudioStreams = 0;
  std::shared_ptr<platform::media::FilterComponent> SourceFilter;
  bool Ready = false;
  uint8_t NativeFormat1 = 0;
  uint8_t NativeFormat2 = 0;
  uint8_t DeviceKind = kDeviceNone;
  bool Present = false;

  // Slot 0: builds video branch `stream` (from 1); sets VideoOutPin (null on failure) and
  // VideoTee.
  virtual void SetVideoGraph(int32_t stream) = 0;
  // Slot 1: builds audio branch `stream`; the pin that delivers it, null on failure; sets
  // AudioTee.
  virtual std::shared_ptr<platform::media::IPin> SetAudioGraph(int32_t stream) = 0;
  // Slots 2 and 3: remove the branches; VideoTee, AudioTee := null.
  virtual void KillVideoGraph() = 0;
  virtual void KillAudioGraph() = 0;
  // Slot 4: puts the source filter into the engine graph and returns its component.
  virtual std::shared_ptr<platform::media::FilterComponent> SetSourceGraph() = 0;
  // Slot 5: takes the source (and what the device put before or after it) out.
  virtual void KillSourceGraph() = 0;
  // Slot 6: records the native stream into `fileName` ("dv type 1 natif"); true when the chain
  // was built.
  virtual bool BuildMuxGraph(const QString& fileName) = 0;
  // Slot 7: removes the native recording chain.
  virtual void KillMuxGraph() = 0;

  // The moniker the source filter was bound to; for a plug-in whose filter is its own, the
  // moniker the refresh created the device for (so the next refresh finds it again).
  std::shared_ptr<platform::media::IMoniker> Moniker() const;
  void SetListedMoniker(std::shared_ptr<platform::media::IMoniker> moniker) { listed_ = std::move(moniker); }
  EngineGraph& Engine() const { return engine_; }

 protected:
  explicit TCaptureDevice(EngineGraph& engine);
  // The base part, in its fixed order: Ready, names, instance, counts, engine tees cleared.
  void ConstructBase(const QString& deviceName, int32_t instance, const QString& friendlyName);

  EngineGraph& engine_;
  std::shared_ptr<platform::media::IMoniker> listed_;
};

// DisplayName from a friendly name and an instance number.
QString DeviceDisplayName(const QString& friendlyName, int32_t instance);

// The kind of device a moniker stands for (kDeviceNone when it cannot be bound or offers
// nothing known), found through the engine's `test` slot, which is out of the graph afterwards.
uint8_t ProbeDevice(EngineGraph& engine, const std::shared_ptr<platform::media::IMoniker>& moniker);

// The devices of one category; owns them.
class TCaptureDeviceList {
 public:
  explicit TCaptureDeviceList(EngineGraph& engine);
  ~TCaptureDeviceList();
  TCaptureDeviceList(const TCaptureDeviceList&) = delete;
  TCaptureDeviceList& operator=(const TCaptureDeviceList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  // Null outside 0..Count()-1.
  TCaptureDevice* Items(int index) const;
  // The first device whose source filter's moniker is equal to `moniker`, or -1.
  int IndexOfMoniker(const std::shared_ptr<platform::media::IMoniker>& moniker) const;
  // The smallest n >= 1 that no device named `name` has as its Instance.
  int32_t NextInstance(const QString& name) const;
  // Brings the list in line with the monikers of `category`: new devices are created, gone
  // ones removed (their current sources disconnected first). False on an exception.
  bool Refresh(const platform::media::GUID& category);

  // Adds a device made elsewhere (the list owns it from now on).
  void Add(std::unique_ptr<TCaptureDevice> device);
  // Destroys every device.
  void Clear();

 private:
  bool StillAlive(TCaptureDevice& device) const;
  void Drop(int index);

  EngineGraph& engine_;
  std::vector<std::unique_ptr<TCaptureDevice>> items_;
};

}  // namespace vistrel::sources
