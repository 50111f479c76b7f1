#pragma once
// Windows Media profiles: a profile is a named list of streams, each with a stream number (1, 2,
// ... as created), a type (the major media type), a codec and its parameters carried as a media
// type (VIDEOINFOHEADER for video, WAVEFORMATEX for audio), a bit rate and a buffer window.
// Profiles are plain values owned by their caller; loading a system profile twice gives two
// independent copies. User-interface thread.

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/media/Guid.h"
#include "platform/media/MediaType.h"
#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::wmf {

using media::GUID;
using media::HRESULT;

enum WMT_VERSION : uint32_t {
  WMT_VER_4_0 = 0x00040000,
  WMT_VER_7_0 = 0x00070000,
  WMT_VER_8_0 = 0x00080000,
  WMT_VER_9_0 = 0x00090000,
};

// Result codes of the Windows Media layer.
constexpr HRESULT NS_E_INVALID_REQUEST = static_cast<HRESULT>(0xC00D002B);
constexpr HRESULT NS_E_PROFILE_MISMATCH = static_cast<HRESULT>(0xC00D0BB9);
constexpr HRESULT NS_E_INVALID_STREAM = static_cast<HRESULT>(0xC00D0BBD);
constexpr HRESULT ASF_E_BUFFERTOOSMALL = static_cast<HRESULT>(0xC00D07D2);
constexpr HRESULT NS_E_NOT_FOUND = static_cast<HRESULT>(0xC00D0BC0);

// Codec subtypes of the streams (FOURCC family; audio by wave format tag).
constexpr GUID WMMEDIASUBTYPE_MP43 = media::fourccGuid(media::makeFourcc('M', 'P', '4', '3'));
constexpr GUID WMMEDIASUBTYPE_WMV1 = media::fourccGuid(media::makeFourcc('W', 'M', 'V', '1'));
constexpr GUID WMMEDIASUBTYPE_WMV2 = media::fourccGuid(media::makeFourcc('W', 'M', 'V', '2'));
constexpr GUID WMMEDIASUBTYPE_WMAudioV1 = media::fourccGuid(0x00000160);
constexpr GUID WMMEDIASUBTYPE_WMAudioV2 = media::fourccGuid(0x00000161);
constexpr uint16_t WAVE_FORMAT_MSAUDIO1 = 0x0160;
constexpr uint16_t WAVE_FORMAT_WMAUDIO2 = 0x0161;

class IWMStreamConfig : public virtual media::Unknown {
 public:
  // The major type: MEDIATYPE_Video (WMMEDIATYPE_Video) or MEDIATYPE_Audio.
  virtual HRESULT GetStreamType(GUID& type) = 0;
  virtual HRESULT GetStreamNumber(uint16_t& number) = 0;
  virtual HRESULT SetStreamNumber(uint16_t number) = 0;
  virtual HRESULT GetStreamName(QString& name) = 0;
  virtual HRESULT SetStreamName(const QString& name) = 0;
  virtual HRESULT GetConnectionName(QString& name) = 0;
  virtual HRESULT SetConnectionName(const QString& name) = 0;
  // Bits per second.
  virtual HRESULT GetBitrate(uint32_t& bitrate) = 0;
  virtual HRESULT SetBitrate(uint32_t bitrate) = 0;
  // Milliseconds.
  virtual HRESULT GetBufferWindow(uint32_t& ms) = 0;
  virtual HRESULT SetBufferWindow(uint32_t ms) = 0;
  // The stream's format (the media properties): a deep copy.
  virtual HRESULT GetMediaType(media::MediaType& type) = 0;
  // E_INVALIDARG when the major type differs from the stream type.
  virtual HRESULT SetMediaType(const media::MediaType& type) = 0;
};

class IWMProfile : public virtual media::Unknown {
 public:
  virtual HRESULT GetVersion(WMT_VERSION& version) = 0;
  // The name into a caller's buffer of `length` characters (NUL included). With a null buffer,
  // `length` receives the size needed; a buffer too small gives ASF_E_BUFFERTOOSMALL.
  virtual HRESULT GetName(char16_t* buffer, uint32_t& length) = 0;
  virtual HRESULT SetName(const QString& name) = 0;
  virtual HRESULT GetDescription(QString& description) = 0;
  virtual HRESULT SetDescription(const QString& description) = 0;
  virtual HRESULT GetStreamCount(uint32_t& count) = 0;
  // 0-based position; E_INVALIDARG past the end.
  virtual HRESULT GetStream(uint32_t index, std::shared_ptr<IWMStreamConfig>& stream) = 0;
  // NS_E_NOT_FOUND when no stream has that number.
  virtual HRESULT GetStreamByNumber(uint16_t number, std::shared_ptr<IWMStreamConfig>& stream) = 0;
  virtual HRESULT RemoveStream(const std::shared_ptr<IWMStreamConfig>& stream) = 0;
  virtual HRESULT RemoveStreamByNumber(uint16_t number) = 0;
  // Adds a copy of the stream; NS_E_INVALID_STREAM when its number is 0 or already used.
  virtual HRESULT AddStream(const std::shared_ptr<IWMStreamConfig>& stream) = 0;
  // A new stream of the type, numbered after the highest number in use (not added yet).
  virtual HRESULT CreateNewStream(const GUID& streamType, std::shared_ptr<IWMStreamConfig>& stream) = 0;
  // The identifier the profile was loaded by (GUID_NULL for a profile made from scratch).
  virtual HRESULT GetProfileID(GUID& id) = 0;

  // C++ convenience over GetName.
  QString name();
};

// The values of one stream, for building profiles in code.
struct WmStreamDesc {
  GUID type;   // MEDIATYPE_Video or MEDIATYPE_Audio
  GUID codec;  // one of the WMMEDIASUBTYPE_* values
  uint32_t bitrate = 0;
  // Video.
  int32_t width = 0, height = 0;
  media::REFERENCE_TIME timePerFrame = 0;
  // Audio.
  uint32_t sampleRate = 0;
  uint16_t channels = 0;
};

// A stream configuration built from a description.
std::shared_ptr<IWMStreamConfig> createStreamConfig(const WmStreamDesc& desc, uint16_t number);
// A profile from a name and streams numbered 1, 2, ... in order.
std::shared_ptr<IWMProfile> createProfile(WMT_VERSION version, const QString& name, const GUID& id,
                                          const std::vector<WmStreamDesc>& streams,
                                          const QString& description = QString());
// The description of a stream as it is now (codec, bit rate, size, rate...).
WmStreamDesc describeStream(IWMStreamConfig& stream);

}  // namespace vistrel::platform::wmf
