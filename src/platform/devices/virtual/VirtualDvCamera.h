#pragma once
// The virtual DV camcorder or deck. One output pin, "DV A/V Out" (PIN_CATEGORY_CAPTURE), that
// delivers interleaved DV (MEDIATYPE_Interleaved, dvsd, FORMAT_DvInfo) from a tape: a generated
// DvTape or a raw DV file. As a deck (ED_DEVTYPE_VCR) the frames follow the transport
// (IAMExtTransport, see DvTransport.h); as a camcorder in camera mode (ED_DEVTYPE_CAMERA) it sends
// live frames, dated now, whatever the transport is told. IAMTimecodeReader reads the time code
// of the frame under the heads; IAMDroppedFrames counts frames the graph had no buffer for.
// The tape moves one frame per frame period while the graph runs, on the pin's streaming thread,
// which never blocks on a slow branch.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <mutex>

#include "platform/devices/virtual/DvTape.h"
#include "platform/devices/virtual/DvTapeFile.h"
#include "platform/devices/virtual/DvTransport.h"
#include "platform/media/BaseFilter.h"
#include "platform/media/IAMDroppedFrames.h"
#include "platform/media/IAMExtDevice.h"
#include "platform/media/IAMExtTransport.h"
#include "platform/media/IAMTimecodeReader.h"

namespace vistrel::platform::devices {

constexpr media::GUID CLSID_VirtualDvCamera = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0003}");

// What a "dvcam" line of the device file describes (see VirtualDeviceFile.h for the options).
struct DvCameraSettings {
  bool cameraMode = false;  // a camcorder in camera mode: live frames
  int32_t initialMode = media::ED_MODE_PLAY;
  QString tapeFile;        // a raw DV file, or empty for a generated tape
  DvTapeDescription tape;  // the generated tape
  QString error;           // an option that could not be read (the rest still applies)
};
DvCameraSettings dvCameraSettings(const QStringList& options);

class VirtualDvCamera : public media::BaseFilter,
                        public media::IAMExtTransport,
                        public media::IAMTimecodeReader,
                        public media::IAMExtDevice,
                        public media::IAMDroppedFrames {
 public:
  // A camcorder over its tape; check valid() (a tape file that is not DV gives none, errorText()
  // says why, and the user is told through the message-box service, once per device and reason;
  // construct it on the user-interface thread).
  VirtualDvCamera(const QString& friendlyName, const DvCameraSettings& settings);
  ~VirtualDvCamera() override;

  bool valid() const { return length_ > 0; }
  const QString& errorText() const { return error_; }
  media::dv::System system() const { return system_; }
  const media::MediaType& mediaType() const { return type_; }
  // The frame under the heads (user-interface thread or any).
  int64_t tapePosition();

  void setDeviceLost(bool lost);

  // Once lost, the device shows no output pin (see LostDevicePins.h).

  media::HRESULT EnumPins(std::shared_ptr<media::IEnumPins>& pins) override;

  media::HRESULT JoinFilterGraph(const std::shared_ptr<media::IFilterGraph>& graph,
                                 const QString& name) override;
  bool deviceLost() const { return lost_.load(); }

  media::HRESULT Stop() override;
  void haltStreaming() override;

  media::HRESULT put_Mode(int32_t mode) override;
  media::HRESULT get_Mode(int32_t& mode) override;
  media::HRESULT get_MediaState(int32_t& state) override;
  media::HRESULT GetTimecode(media::TIMECODE_SAMPLE& sample) override;
  media::HRESULT GetCapability(int32_t capability, int32_t& value, double& doubleValue) override;
  media::HRESULT get_DevicePower(int32_t& powerMode) override;
  media::HRESULT GetNumDropped(int32_t& dropped) override;
  media::HRESULT GetNumNotDropped(int32_t& delivered) override;
  media::HRESULT GetAverageFrameSize(int32_t& size) override;

  // Streaming thread: the next frame of one frame period into `frame` (false: nothing to send
  // this period), with the stream time it belongs to recorded for the time-code reader.
  bool nextFrame(std::span<uint8_t> frame, media::REFERENCE_TIME when);
  media::REFERENCE_TIME frameInterval() const;
  void countDropped() { dropped_.fetch_add(1); }
  void countDelivered() { delivered_.fetch_add(1); }

 protected:
  media::HRESULT onRun(media::REFERENCE_TIME start) override;
  media::HRESULT onPause() override;

 private:
  class OutputPin;
  static void tellUser(const QString& friendlyName, const QString& error);
  bool readFrame(int64_t index, std::span<uint8_t> frame);
  media::dv::TimeCode timeCodeAt(int64_t index);

  bool cameraMode_;
  media::dv::System system_ = media::dv::System::Pal;
  int64_t length_ = 0;
  QString error_;
  media::MediaType type_;
  std::mutex lock_;  // the tape, the transport and the live counter
  std::unique_ptr<DvTape> generated_;
  std::unique_ptr<DvTapeFile> file_;
  std::unique_ptr<DvTransport> transport_;
  int64_t live_ = 0;  // camera mode: frames sent since the camera was switched on
  int64_t lastFrame_ = -1;
  media::REFERENCE_TIME lastTick_ = 0;
  std::atomic<bool> lost_{false};
  std::atomic<int64_t> dropped_{0};
  std::atomic<int64_t> delivered_{0};
};

}  // namespace vistrel::platform::devices
