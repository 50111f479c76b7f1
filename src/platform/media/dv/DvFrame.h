#pragma once
// The layout of a 25 Mbit/s DV frame and the auxiliary packs the platform writes into it: the
// time code in the subcode blocks, the recording date and time and the display aspect in the
// VAUX blocks. A frame has 12 DIF sequences (625/50, 144 000 bytes) or 10 (525/60, 120 000
// bytes) of 150 blocks of 80 bytes.

#include <cstddef>
#include <cstdint>
#include <span>

namespace vistrel::platform::media::dv {

constexpr size_t kBlockBytes = 80;
constexpr size_t kSequenceBytes = 150 * kBlockBytes;
constexpr size_t kPalFrameBytes = 12 * kSequenceBytes;   // 144 000
constexpr size_t kNtscFrameBytes = 10 * kSequenceBytes;  // 120 000

enum class System { Pal, Ntsc };

constexpr size_t frameBytes(System s) { return s == System::Pal ? kPalFrameBytes : kNtscFrameBytes; }
constexpr int sequences(System s) { return s == System::Pal ? 12 : 10; }

struct TimeCode {
  int hours = 0, minutes = 0, seconds = 0, frames = 0;
};
struct DateTime {
  int year = 2000, month = 1, day = 1, hours = 0, minutes = 0, seconds = 0;
};

// The time code of frame number `frame` at 25 or 30 frames a second (no drop-frame counting).
TimeCode timeCodeOfFrame(int64_t frame, System system);

// Writes the packs into every DIF sequence of the frame; a span shorter than the system's frame
// is left as it is.
void writeTimeCode(std::span<uint8_t> frame, System system, const TimeCode& code);
void writeRecordingDateTime(std::span<uint8_t> frame, System system, const DateTime& when);
void writeAspect(std::span<uint8_t> frame, System system, bool wide);

}  // namespace vistrel::platform::media::dv
