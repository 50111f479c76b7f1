#pragma once
// The virtual MPEG capture cards.
//  - VirtualMpegCard: one "Capture" pin (PIN_CATEGORY_CAPTURE) delivering MPEG-2 video
//    (MEDIASUBTYPE_MPEG2_VIDEO, FORMAT_MPEG2Video with the stream's sequence header), each sample
//    one picture that libavcodec's mpeg2video encoder made from the test pattern (720 x 576,
//    25 pictures a second, a key picture every 12). The format block's picture aspect fields are
//    the card's "aspect" option: 4:3, 16:9, or 0:0 for a card that leaves them empty.
//  - VirtualMpegEncoder: a hardware encoder with one byte-stream output "MPEG Out"
//    (MEDIATYPE_Stream, MPEG-2 program stream) and nothing else, so that the program never lists
//    it as a video source. Samples carry their byte offset as start time for the File Writer.
// Both stream on the pin's thread while the graph runs and count pictures the graph had no
// buffer for as dropped (IAMDroppedFrames).

#include <QString>
#include <QStringList>
#include <atomic>

#include "platform/media/BaseFilter.h"
#include "platform/media/IAMDroppedFrames.h"

namespace vistrel::platform::devices {

constexpr media::GUID CLSID_VirtualMpegCard = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0007}");
constexpr media::GUID CLSID_VirtualMpegEncoder = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0008}");

struct MpegCardSettings {
  uint32_t aspectX = 4, aspectY = 3;
  QString error;
};
MpegCardSettings mpegCardSettings(const QStringList& options);

// The bytes from an MPEG video sequence header (00 00 01 B3) through its extensions, or empty.
std::vector<uint8_t> findSequenceHeader(const std::vector<uint8_t>& stream);

class VirtualMpegSource : public media::BaseFilter, public media::IAMDroppedFrames {
 public:
  ~VirtualMpegSource() override;

  media::HRESULT Stop() override;
  void haltStreaming() override;
  void setDeviceLost(bool lost);
  // Once lost, the device shows no output pin (see LostDevicePins.h).
  media::HRESULT EnumPins(std::shared_ptr<media::IEnumPins>& pins) override;
  media::HRESULT JoinFilterGraph(const std::shared_ptr<media::IFilterGraph>& graph,
                                 const QString& name) override;
  bool deviceLost() const { return lost_.load(); }

  media::HRESULT GetNumDropped(int32_t& dropped) override;
  media::HRESULT GetNumNotDropped(int32_t& delivered) override;
  media::HRESULT GetAverageFrameSize(int32_t& size) override;
  void countDropped() { dropped_.fetch_add(1); }
  void countDelivered(int32_t bytes) {
    delivered_.fetch_add(1);
    bytes_.fetch_add(bytes);
  }

 protected:
  VirtualMpegSource(const media::GUID& clsid, const QString& friendlyName);
  media::HRESULT onRun(media::REFERENCE_TIME start) override;
  media::HRESULT onPause() override;

 private:
  std::atomic<bool> lost_{false};
  std::atomic<int64_t> dropped_{0}, delivered_{0}, bytes_{0};
};

class VirtualMpegCard : public VirtualMpegSource {
 public:
  VirtualMpegCard(const QString& friendlyName, const MpegCardSettings& settings);
  const media::MediaType& mediaType() const { return type_; }

 private:
  media::MediaType type_;
};

class VirtualMpegEncoder : public VirtualMpegSource {
 public:
  explicit VirtualMpegEncoder(const QString& friendlyName);
};

}  // namespace vistrel::platform::devices
