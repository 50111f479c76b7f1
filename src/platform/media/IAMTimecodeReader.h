#pragma once
// Reads the time code of the tape position currently under the heads. Any thread.

#include <cstdint>

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// Capability and request flags (ED_DEVCAP_*) used with the time-code reader.
constexpr int32_t ED_DEVCAP_TIMECODE_READ = 4121;

struct TIMECODE {
  uint16_t wFrameRate = 0;  // ED_FORMAT_SMPTE_* style rate code, 0 when unknown
  uint16_t wFrameFract = 0;
  // Four binary-coded-decimal bytes, from the most significant: hours, minutes, seconds, frames.
  uint32_t dwFrames = 0;
};

struct TIMECODE_SAMPLE {
  int64_t qwTick = 0;  // stream time of the frame the time code belongs to (100 ns)
  TIMECODE timecode;
  uint32_t dwUser = 0;
  // Set by the caller to what it asks for (ED_DEVCAP_TIMECODE_READ).
  int32_t dwFlags = 0;
};

class IAMTimecodeReader : public virtual Unknown {
 public:
  // S_OK with the time code; E_INVALIDARG for flags other than ED_DEVCAP_TIMECODE_READ; E_FAIL
  // when no tape is loaded.
  virtual HRESULT GetTimecode(TIMECODE_SAMPLE& sample) = 0;
};

// The BCD word of hours, minutes, seconds and frames (each 0..99).
constexpr uint32_t timecodeToBcd(int hours, int minutes, int seconds, int frames) {
  auto bcd = [](int v) { return static_cast<uint32_t>(((v / 10) % 10) << 4 | (v % 10)); };
  return bcd(hours) << 24 | bcd(minutes) << 16 | bcd(seconds) << 8 | bcd(frames);
}

}  // namespace vistrel::platform::media
