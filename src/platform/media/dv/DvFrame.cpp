#include "platform/media/dv/DvFrame.h"

#include <cstring>

namespace vistrel::platform::media::dv {
namespace {

// The ID of the source control pack that the project's readers look at first: pack 10 of the
// third VAUX block; the encoder's own source control packs are pack 1 of each VAUX block.
constexpr size_t kSourceControlPack = 400 + 3 + 10 * 5;  // 453
constexpr size_t kEncoderSourceControlPacks[3] = {248, 328, 408};
constexpr size_t kHeaderAp3 = 7;  // the header block's AP3 byte: the application ID

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
    for (size_t at : kSubcodePackSlots)
      writePack(frame, s * kSequenceBytes + at, 0x13, bcd(code.frames) & 0x3F, bcd(code.seconds) & 0x7F,
                bcd(code.minutes) & 0x7F, bcd(code.hours) & 0x3F);
}

void writeRecordingDateTime(std::span<uint8_t> frame, System system, const DateTime& when) {
  if (!fits(frame, system)) return;
  for (int s = 0; s < sequences(system); ++s) {
    for (size_t at : kDatePackSlots) {
      const size_t date = s * kSequenceBytes + at;
      // Date: time zone byte, day, month, two-digit year. Time: frames (unknown), s, min, h.
      writePack(frame, date, 0x62, 0xFF, bcd(when.day) | 0xC0, bcd(when.month) | 0xE0, bcd(when.year % 100));
      writePack(frame, date + 5, 0x63, 0xFF, bcd(when.seconds) | 0x80, bcd(when.minutes) | 0x80,
                bcd(when.hours) | 0xC0);
    }
  }
}

void clearRecordingDateTime(std::span<uint8_t> frame, System system) {
  if (!fits(frame, system)) return;
  for (int s = 0; s < sequences(system); ++s)
    for (size_t at : kDatePackSlots) std::memset(frame.data() + s * kSequenceBytes + at, 0xFF, 10);
}

void writeAspect(std::span<uint8_t> frame, System system, bool wide) {
  if (!fits(frame, system)) return;
  for (int s = 0; s < sequences(system); ++s) {
    const size_t base = s * kSequenceBytes;
    // Display mode 7 says 16:9 only with the consumer application ID (0); the others say it
    // with 2. 0 is 4:3 for both.
    const uint8_t mode = !wide ? 0 : (frame[base + kHeaderAp3] & 0x07) == 0 ? 7 : 2;
    writePack(frame, base + kSourceControlPack, 0x61, 0x03, static_cast<uint8_t>(0xC8 | mode), 0xFC, 0xFF);
    // The encoder's packs keep their field flags; only their display mode follows.
    for (size_t at : kEncoderSourceControlPacks)
      if (frame[base + at] == 0x61)
        frame[base + at + 2] = static_cast<uint8_t>((frame[base + at + 2] & 0xF8) | mode);
  }
}

}  // namespace vistrel::platform::media::dv
