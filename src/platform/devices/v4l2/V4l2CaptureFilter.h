#pragma once
// The capture filter of one V4L2 node. Pins, in this order: "Capture" (PIN_CATEGORY_CAPTURE, with
// IAMStreamConfig over every driver format, size and interval), "Preview" (PIN_CATEGORY_PREVIEW,
// the same frames as the capture pin, in its format), and, for a card with several inputs or a
// tuner, "Analog Video In" (PIN_CATEGORY_ANALOGVIDEOIN), which only the crossbar of the same card
// connects to. Controls are IAMVideoProcAmp and IAMCameraControl, losses IAMDroppedFrames.
// Property pages: the filter's for the controls the device has, each capture pin's for its
// stream format; the driver dialogs of IAMVfwCaptureDialogs show the same pages.
//
// Life cycle: stopped -> paused opens the node, sets the format and maps the buffers; running
// starts the streaming thread; stop joins the thread, then stops the stream, unmaps and closes
// (a teardown that can run twice). The streaming thread stamps each frame from the driver's
// timestamp rebased to the graph clock at the first frame, counts gaps in the driver's sequence
// numbers and frames the graph had no buffer for as dropped, and never blocks on a slow branch.
// A vanished device (ENODEV) ends the thread and raises EC_DEVICE_LOST once.

#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/devices/v4l2/V4l2Formats.h"
#include "platform/devices/v4l2/V4l2Kernel.h"
#include "platform/devices/v4l2/V4l2Probe.h"
#include "platform/media/BaseFilter.h"
#include "platform/media/IAMCameraControl.h"
#include "platform/media/IAMDroppedFrames.h"
#include "platform/media/IAMVfwCaptureDialogs.h"
#include "platform/media/IAMVideoProcAmp.h"
#include "platform/media/ISpecifyPropertyPages.h"

namespace vistrel::platform::media {
class StreamingThread;
}

namespace vistrel::platform::devices::v4l2 {

constexpr media::GUID CLSID_V4l2VideoCapture = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0401}");

// The identity of a device across enumerations and replugging: its bus position and card name
// (the node path when the driver gives no bus information).
std::string deviceIdentity(const V4l2DeviceInfo& info);

class V4l2CaptureFilter : public media::BaseFilter,
                          public media::IAMVideoProcAmp,
                          public media::IAMDroppedFrames,
                          public media::ISpecifyPropertyPages,
                          public media::IAMVfwCaptureDialogs {
 public:
  V4l2CaptureFilter(std::shared_ptr<V4l2Kernel> kernel, V4l2DeviceInfo info);
  ~V4l2CaptureFilter() override;

  const std::vector<V4l2MediaFormat>& formats() const { return formats_; }
  std::string identity() const { return identity_; }
  std::string path() const;
  bool hasAnalogInput() const;

  // Any thread: the device went away. Ends streaming and raises EC_DEVICE_LOST (removed) once.
  void setDeviceLost();
  // User-interface thread: the same device is back at `path`; raises EC_DEVICE_LOST (back). The
  // next run reopens it.
  void setDeviceBack(const std::string& path);
  bool deviceLost() const { return lost_.load(); }

  // Driver inputs (the crossbar routes through these). User-interface thread.
  media::HRESULT selectInput(uint32_t index);
  media::HRESULT currentInput(int32_t& index);
  // An ioctl on the device's control descriptor (opened on first use). Any thread; 0 or -errno.
  int controlIoctl(unsigned long request, void* arg);
  const V4l2DeviceInfo& info() const { return info_; }

  // While the device is lost the filter shows no output pin (the liveness test fails); leaving
  // the graph breaks every connection, those of the hidden pins too. User-interface thread.
  media::HRESULT EnumPins(std::shared_ptr<media::IEnumPins>& pins) override;
  media::HRESULT JoinFilterGraph(const std::shared_ptr<media::IFilterGraph>& graph,
                                 const QString& name) override;

  media::HRESULT Stop() override;
  void haltStreaming() override;

  // IAMVideoProcAmp. IAMCameraControl has the same methods, so it is a companion object reached
  // through queryInterface.
  media::HRESULT GetRange(int32_t property, int32_t& min, int32_t& max, int32_t& step, int32_t& deflt,
                          int32_t& flags) override;
  media::HRESULT Set(int32_t property, int32_t value, int32_t flags) override;
  media::HRESULT Get(int32_t property, int32_t& value, int32_t& flags) override;

  // The pages of the video processing amplifier and of the camera control, each only when the
  // device has at least one of its controls.
  media::HRESULT GetPages(std::vector<media::GUID>& pages) override;
  media::PropertyPage* CreatePage(const media::GUID& page, QWidget* parent) override;

  // The driver dialogs: "format" is the capture pin's format page, "source" the control pages
  // (when the device has controls); there is no display dialog. Only while stopped.
  media::HRESULT HasDialog(int dialog) override;
  media::HRESULT ShowDialog(int dialog, QWidget* parent) override;
  // V4L2 has no driver messages: E_NOTIMPL.
  media::HRESULT SendDriverMessage(int dialog, int message, intptr_t param1, intptr_t param2) override;

  media::HRESULT GetNumDropped(int32_t& dropped) override;
  media::HRESULT GetNumNotDropped(int32_t& delivered) override;
  media::HRESULT GetAverageFrameSize(int32_t& size) override;

 protected:
  media::HRESULT onPause() override;
  media::HRESULT onRun(media::REFERENCE_TIME start) override;
  media::HRESULT onStop() override;
  std::shared_ptr<media::Unknown> getInterface(const std::type_info& type) override;

 private:
  class CapturePin;
  class CameraControl;
  class AnalogInputPin;
  struct Session;
  friend class CapturePin;
  friend class CameraControl;

  void teardown();
  void stream(media::StreamingThread& thread);
  void deliverFrame(const uint8_t* data, uint32_t used, uint32_t bytesPerLine, uint32_t sequence,
                    media::REFERENCE_TIME start);
  media::HRESULT controlRange(uint32_t cid, int32_t& min, int32_t& max, int32_t& step, int32_t& deflt,
                              bool& hasAuto);
  media::HRESULT cameraGetRange(int32_t property, int32_t& min, int32_t& max, int32_t& step, int32_t& deflt,
                                int32_t& flags);
  media::HRESULT cameraSet(int32_t property, int32_t value, int32_t flags);
  media::HRESULT cameraGet(int32_t property, int32_t& value, int32_t& flags);
  media::HRESULT setControl(uint32_t cid, int32_t value, int32_t flags);
  media::HRESULT getControl(uint32_t cid, int32_t& value, int32_t& flags);
  CapturePin* capturePin() const;
  CapturePin* previewPin() const;

  std::shared_ptr<V4l2Kernel> kernel_;
  V4l2DeviceInfo info_;
  std::string identity_;
  std::vector<V4l2MediaFormat> formats_;
  std::shared_ptr<CameraControl> cameraControl_;

  mutable std::mutex pathLock_;  // info_.path may change when the device comes back
  std::mutex controlLock_;
  int controlFd_ = -1;
  std::unique_ptr<Session> session_;
  std::atomic<bool> lost_{false};
  std::atomic<int64_t> dropped_{0};
  std::atomic<int64_t> delivered_{0};
  std::atomic<int64_t> bytes_{0};
};

}  // namespace vistrel::platform::devices::v4l2
