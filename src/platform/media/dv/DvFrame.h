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
// is left as it is. Every slot that carries such a pack gets it, so that a reader looking at any
// of them finds the same value:
//   time code: the six SSYB packs of both subcode blocks;
//   recording date and time: packs 2 and 3, and 11 and 12, of each of the three VAUX blocks;
//   source control (display aspect): the encoder's pack 1 of each VAUX block and pack 10 of the
//     third, display mode 7 (16:9, consumer application ID) or 2 (other application IDs).
void writeTimeCode(std::span<uint8_t> frame, System system, const TimeCode& code);
void writeRecordingDateTime(std::span<uint8_t> frame, System system, const DateTime& when);
// Blanks every date and time slot (an undated stretch: the readers find no pack).
void clearRecordingDateTime(std::span<uint8_t> frame, System system);
void writeAspect(std::span<uint8_t> frame, System system, bool wide);

// The pack slots above, as byte offsets from the start of a DIF sequence (of the pack's ID).
constexpr size_t kSubcodePackSlots[12] = {86, 94, 102, 110, 118, 126, 166, 174, 182, 190, 198, 206};
constexpr size_t kDatePackSlots[6] = {253, 298, 333, 378, 413, 458};  // the time pack follows each

}  // namespace vistrel::platform::media::dv
