#pragma once
// The MP3 encoder filter, through LAME. Pin 0 "In" takes 16-bit PCM, mono or stereo, at a rate
// MP3 has (8000 to 48000 Hz); pin 1 "Out" gives MPEG audio layer III, one sample per frame with
// its time, offered as MEDIASUBTYPE_MP3 (wave format 0x55, as AVI files carry it) and then as
// MEDIASUBTYPE_MPEG1AudioPayload (wave format 0x50 with layer III, which WAV writers ask for).
// The bit rate is the filter's own registry value "Bitrate" (kbit/s, REG_DWORD) under the
// current user's "\Software\GNU\LAME MPEG Layer III Audio Encoder Filter"; a value that is not
// an MP3 rate for the stream's sampling rate gives the nearest one (the lower on a tie). The
// property page sets the channel mode, the encoding quality and an output sampling rate.
// The filter's class is registered under HKEY_CLASSES_ROOT "\CLSID\{...}\InprocServer32" with
// the path of the library that does the encoding.

#include <QString>
#include <cstdint>
#include <vector>

#include "platform/media/ISpecifyPropertyPages.h"
#include "platform/media/filters/EncoderFilter.h"

namespace vistrel::platform::media {

constexpr GUID CLSID_LameMp3Encoder = makeGuid("{B8D27088-FF5F-4B7C-98DC-0E91A1696286}");
constexpr GUID PROPPAGE_LameMp3Encoder = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0121}");
extern const char* const kLameEncoderName;
extern const char* const kLameRegistryKey;

// MP3 bit rates in kbit/s for a sampling rate (MPEG-1 above 24 kHz, MPEG-2 and 2.5 below).
const std::vector<int>& mp3Bitrates(uint32_t sampleRate);
int nearestMp3Bitrate(int kbps, uint32_t sampleRate);
bool isMp3SampleRate(uint32_t sampleRate);

// One MPEG audio frame header: its length in bytes, samples and rate; 0 when not a header.
struct MpegAudioHeader {
  int length = 0;
  int samples = 0;
  int sampleRate = 0;
  int bitrateKbps = 0;
  int layer = 0;
  int channels = 0;
};
MpegAudioHeader parseMpegAudioHeader(const uint8_t* p, size_t available);

// Splits a byte stream into whole MPEG audio frames.
class MpegAudioFramer {
 public:
  void append(const uint8_t* data, size_t size);
  // The next whole frame, or false when more bytes are needed.
  bool next(std::vector<uint8_t>& frame, MpegAudioHeader& header);
  void clear() { buffer_.clear(); }

 private:
  std::vector<uint8_t> buffer_;
};

// LAME over plain buffers.
class LameEncoder {
 public:
  LameEncoder();
  ~LameEncoder();
  LameEncoder(const LameEncoder&) = delete;
  LameEncoder& operator=(const LameEncoder&) = delete;

  // mode: 0 automatic, 1 stereo, 2 joint stereo, 3 mono; quality 0 (best) .. 9; outRate 0 keeps
  // the input rate. E_INVALIDARG for what LAME refuses.
  HRESULT open(uint32_t inRate, int channels, int kbps, uint32_t outRate = 0, int mode = 0, int quality = 5);
  void close();
  bool isOpen() const { return lame_ != nullptr; }
  HRESULT encode(const int16_t* interleaved, int frames, std::vector<uint8_t>& out);
  HRESULT flush(std::vector<uint8_t>& out);
  uint32_t outputRate() const;

 private:
  void* lame_ = nullptr;
  int channels_ = 0;
  std::vector<uint8_t> scratch_;
};

struct Mp3EncoderOptions {
  int mode = 0;             // 0 automatic, 1 stereo, 2 joint stereo, 3 mono
  int quality = 5;          // 0 .. 9
  uint32_t sampleRate = 0;  // 0: the input's
};

class Mp3EncoderFilter : public EncoderFilter, public ISpecifyPropertyPages {
 public:
  Mp3EncoderFilter();
  static std::shared_ptr<IBaseFilter> create();

  // Writes the class registration (HKEY_CLASSES_ROOT) and creates the settings key with its
  // default bit rate when missing. Idempotent.
  static void registerServer();
  // The path of the library that encodes (LAME's shared object), empty when unknown.
  static QString libraryPath();
  // The bit rate the registry gives now for this sampling rate (nearest valid value).
  static int registryBitrate(uint32_t sampleRate);
  static Mp3EncoderOptions registryOptions();
  static bool saveOptions(const Mp3EncoderOptions& options);

  HRESULT GetPages(std::vector<GUID>& pages) override;
  PropertyPage* CreatePage(const GUID& page, QWidget* parent) override;

  HRESULT checkInputType(const MediaType& type) override;
  HRESULT outputType(int position, MediaType& type) override;
  int32_t outputBufferSize() override { return 8192; }
  HRESULT startEncoding() override;
  void stopEncoding() override;
  HRESULT encode(const MediaSample& sample) override;
  HRESULT flush() override;

 private:
  HRESULT deliverFrames(const std::vector<uint8_t>& bytes);
  uint32_t outputRate(uint32_t inputRate) const;

  LameEncoder lame_;
  MpegAudioFramer framer_;
  bool timed_ = false;
  REFERENCE_TIME base_ = 0;
  int64_t samplesOut_ = 0;
  uint32_t outRate_ = 0;
};

}  // namespace vistrel::platform::media
