#pragma once
// A capture device served by a plug-in module: the library stays loaded while the device exists
// and each graph operation calls the module's export of the same role.
#include "platform/shell/Library.h"
#include "sources/CaptureDevice.h"
#include "vistrel/plugin.h"

namespace vistrel::sources {

class TPlugInCaptureDevice : public TCaptureDevice {
 public:
  // Loads `path`; Ready only when its driver name is exactly `deviceName` and pi_create gives an
  // instance handle.
  TPlugInCaptureDevice(EngineGraph& engine, const QString& deviceName, int32_t instance, const QString& path);
  // Disconnects the current sources of this device, pi_destroy, unloads.
  ~TPlugInCaptureDevice() override;

  void SetVideoGraph(int32_t stream) override;
  std::shared_ptr<platform::media::IPin> SetAudioGraph(int32_t stream) override;
  void KillVideoGraph() override;
  void KillAudioGraph() override;
  std::shared_ptr<platform::media::FilterComponent> SetSourceGraph() override;
  void KillSourceGraph() override;
  // The modules give no result: true once the export was called, false without one.
  bool BuildMuxGraph(const QString& fileName) override;
  void KillMuxGraph() override;

  uint32_t InstanceHandle() const { return handle_; }
  int32_t AudioResult() const { return audioResult_; }

 private:
  void* Export(const char* name);

  platform::shell::Library library_;
  uint32_t handle_ = 0;
  int32_t audioResult_ = 0;
  std::unique_ptr<vt_graph> graph_;
};

}  // namespace vistrel::sources
