#include "platform/media/dv/DvFrame.h"

namespace vistrel::platform::media::dv {
namespace {

// Positions in a DIF sequence: the third SSYB pack of both subcode blocks holds the time code,
// packs 10 to 12 of the third VAUX block hold the source control, date and time packs.
constexpr size_t kTimeCodePacks[2] = {80 + 3 + 3 * 8 + 3, 160 + 3 + 3 * 8 + 3};  // 110, 190
constexpr size_t kSourceControlPack = 400 + 3 + 10 * 5;                          // 453
constexpr size_t kDatePack = kSourceControlPack + 5;                             // 458
constexpr size_t kTimePack = kDatePack + 5;                                      // 463

uint8_t bcd(int value) { return static_cast<uint8_t>(((value / 10) % 10) << 4 | (value % 10)); }

bool fits(std::span<uint8_t> frame, System system) { return frame.size() >= frameBytes(system); }

void writePack(std::span<uint8_t> frame, size_t at, uint8_t id, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  frame[at] = id;
  frame[at + 1] = a;
  frame[at + 2] = b;
  frame[at + 3] = c;
  frame[at + 4] = d;
}

}  // namespace

TimeCode timeCodeOfFrame(int64_t frame, System system) {
  const int64_t rate = system == System::Pal ? 25 : 30;
  const int64_t seconds = frame / rate;
  return TimeCode{static_cast<int>((seconds / 3600) % 24), static_cast<int>((seconds / 60) % 60),
                  static_cast<int>(seconds % 60), static_cast<int>(frame % rate)};
}

void writeTimeCode(std::span<uint8_t> frame, System system, const TimeCode& code) {
  if (!fits(frame, system)) return;
  for (int s = 0; s < sequences(system); ++s)
    for (size_t at : kTimeCodePacks)
      writePack(frame, s * kSequenceBytes + at, 0x13, bcd(code.frames) & 0x3F, bcd(code.seconds) & 0x7F,
                bcd(code.minutes) & 0x7F, bcd(code.hours) & 0x3F);
}

void writeRecordingDateTime(std::span<uint8_t> frame, System system, const DateTime& when) {
  if (!fits(frame, system)) return;
  for (int s = 0; s < sequences(system); ++s) {
    const size_t base = s * kSequenceBytes;
    // Date: time zone byte, day, month, two-digit year. Time: frames (unknown), s, min, h.
    writePack(frame, base + kDatePack, 0x62, 0xFF, bcd(when.day) | 0xC0, bcd(when.month) | 0xE0,
              bcd(when.year % 100));
    writePack(frame, base + kTimePack, 0x63, 0xFF, bcd(when.seconds) | 0x80, bcd(when.minutes) | 0x80,
              bcd(when.hours) | 0xC0);
  }
}

void writeAspect(std::span<uint8_t> frame, System system, bool wide) {
  if (!fits(frame, system)) return;
  for (int s = 0; s < sequences(system); ++s) {
    const size_t base = s * kSequenceBytes;
    // Consumer DV (application ID 0): display mode 7 is 16:9, 0 is 4:3.
    const uint8_t mode = wide ? 7 : 0;
    writePack(frame, base + kSourceControlPack, 0x61, 0x03, static_cast<uint8_t>(0xC8 | mode), 0xFC, 0xFF);
  }
}

}  // namespace vistrel::platform::media::dv
