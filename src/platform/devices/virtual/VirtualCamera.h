#pragma once
// The virtual test-pattern camera: a capture pin and a preview pin (in that order), each with
// IAMStreamConfig over RGB24, YUY2 and MJPEG (each frame a JPEG of its own) at 320x240, 640x480,
// 720x576, 1280x720 and 1920x1080, 25 and 30 frames per second, and the stream format property
// page; IAMVideoProcAmp (brightness, contrast act on the picture) with its property page, and
// IAMDroppedFrames on the filter. The pages are those of the V4L2 cards. Each connected pin runs
// its own streaming thread while the graph runs; frames are stamped with the graph clock at the
// instant of their capture. Like a real camera's driver, the camera holds a few frames for a
// reader that is late; a frame that finds no free buffer, or that comes more periods late than
// that queue holds, is counted as dropped, so a slow branch never blocks the camera.

#include <QString>
#include <atomic>

#include "platform/devices/virtual/TestPattern.h"
#include "platform/media/BaseFilter.h"
#include "platform/media/IAMDroppedFrames.h"
#include "platform/media/IAMVideoProcAmp.h"
#include "platform/media/ISpecifyPropertyPages.h"

namespace vistrel::platform::devices {

class VirtualCamera : public media::BaseFilter,
                      public media::IAMVideoProcAmp,
                      public media::IAMDroppedFrames,
                      public media::ISpecifyPropertyPages {
 public:
  explicit VirtualCamera(const QString& friendlyName,
                         const media::GUID& clsid = media::CLSID_VirtualTestCamera);
  ~VirtualCamera() override;

  // Every format the pins offer, in their stable order: RGB24, then YUY2, then MJPEG, each by
  // size and then rate.
  static const std::vector<media::MediaType>& formats();
  // The MJPEG type of a size and frame interval (variable-size samples of at most a raw frame).
  static media::MediaType mjpeg(int width, int height, media::REFERENCE_TIME interval);

  // User-interface thread: the device went away (true) or came back (false). Raises
  // EC_DEVICE_LOST on the graph (second parameter 0 = removed, 1 = back); a lost camera
  // delivers nothing and cannot be bound again.
  void setDeviceLost(bool lost);
  // Once lost, the device shows no output pin (see LostDevicePins.h).
  media::HRESULT EnumPins(std::shared_ptr<media::IEnumPins>& pins) override;
  media::HRESULT JoinFilterGraph(const std::shared_ptr<media::IFilterGraph>& graph,
                                 const QString& name) override;
  bool deviceLost() const { return lost_.load(); }
  // Any thread: a stalled camera stays in the graph but delivers and counts nothing, as a device
  // whose driver hangs.
  void setStalled(bool stalled) { stalled_.store(stalled); }
  bool stalled() const { return stalled_.load(); }

  media::HRESULT Stop() override;
  void haltStreaming() override;

  media::HRESULT GetRange(int32_t property, int32_t& min, int32_t& max, int32_t& step, int32_t& deflt,
                          int32_t& flags) override;
  media::HRESULT Set(int32_t property, int32_t value, int32_t flags) override;
  media::HRESULT Get(int32_t property, int32_t& value, int32_t& flags) override;

  media::HRESULT GetNumDropped(int32_t& dropped) override;
  media::HRESULT GetNumNotDropped(int32_t& delivered) override;
  media::HRESULT GetAverageFrameSize(int32_t& size) override;

  // The video processing amplifier's page.
  media::HRESULT GetPages(std::vector<media::GUID>& pages) override;
  media::PropertyPage* CreatePage(const media::GUID& page, QWidget* parent) override;

  // Streaming threads: draws frame `frameNumber` (bottom-up RGB24, padded rows) at stream time
  // `timeMs`. Cards with inputs draw what their routed input shows.
  virtual void renderPicture(uint8_t* rgb, int width, int height, int64_t frameNumber, int64_t timeMs);
  PatternSettings pattern() const { return PatternSettings{brightness_.load(), contrast_.load()}; }
  void countDropped(int64_t n) { dropped_.fetch_add(n); }
  void countDelivered(int32_t bytes) {
    delivered_.fetch_add(1);
    bytes_.fetch_add(bytes);
  }

 protected:
  media::HRESULT onRun(media::REFERENCE_TIME start) override;
  media::HRESULT onPause() override;

 private:
  std::atomic<bool> lost_{false};
  std::atomic<bool> stalled_{false};
  std::atomic<int> brightness_{0};
  std::atomic<int> contrast_{100};
  std::atomic<int64_t> dropped_{0};
  std::atomic<int64_t> delivered_{0};
  std::atomic<int64_t> bytes_{0};
};

}  // namespace vistrel::platform::devices
