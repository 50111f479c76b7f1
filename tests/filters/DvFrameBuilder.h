#pragma once
// Builds raw 25 Mbit/s DV frames by hand for the tests: 12 DIF sequences (625/50) or 10 (525/60)
// of 150 blocks of 80 bytes, with only the bytes the decoders read filled in: the video system
// byte of the header block, the application ID, the time code packs of the subcode blocks, the
// VAUX source control, recording date and recording time packs, and the AAUX source pack.

#include <cstdint>
#include <vector>

#include "filters/DvCodes.h"

namespace vistrel::filters::testing {

constexpr uint8_t bcd(int value) { return static_cast<uint8_t>(((value / 10) << 4) | (value % 10)); }

class DvFrameBuilder {
 public:
  static constexpr int kAll = -1;

  explicit DvFrameBuilder(bool pal = true)
      : sequences_(pal ? 12 : 10), bytes_(static_cast<size_t>(sequences_) * dvcodes::kDifSequenceBytes, 0) {
    for (int s = 0; s < sequences_; ++s) {
      at(s, dvcodes::kVideoSystemByte) = pal ? 0xBF : 0x3F;
      // Header DIF block ID bytes, so that the frames look like DV to a human reader of a dump.
      at(s, 0) = 0x1F;
      at(s, 1) = static_cast<uint8_t>(s << 4 | 0x07);
    }
  }

  int sequences() const { return sequences_; }
  std::vector<uint8_t>& bytes() { return bytes_; }
  uint8_t& at(int sequence, size_t offset) {
    return bytes_[static_cast<size_t>(sequence) * dvcodes::kDifSequenceBytes + offset];
  }

  DvFrameBuilder& videoSystemByte(uint8_t value) {
    forEach(kAll, [&](int s) { at(s, dvcodes::kVideoSystemByte) = value; });
    return *this;
  }
  DvFrameBuilder& applicationId3(uint8_t ap3, int sequence = kAll) {
    forEach(sequence, [&](int s) { at(s, dvcodes::kAp3Byte) = static_cast<uint8_t>(0xF8 | (ap3 & 0x7)); });
    return *this;
  }
  DvFrameBuilder& timeCode(int hours, int minutes, int seconds, int frames, int sequence = kAll) {
    forEach(sequence, [&](int s) {
      for (size_t id : {dvcodes::kTimeCodePackId1, dvcodes::kTimeCodePackId2}) {
        at(s, id) = dvcodes::kTimeCodePack;
        at(s, id + 1) = bcd(frames);
        at(s, id + 2) = bcd(seconds);
        at(s, id + 3) = bcd(minutes);
        at(s, id + 4) = bcd(hours);
      }
    });
    return *this;
  }
  // Two-digit year, as on tape.
  DvFrameBuilder& recordingDate(int day, int month, int year2, int sequence = kAll) {
    forEach(sequence, [&](int s) {
      at(s, dvcodes::kDatePackId) = dvcodes::kRecordingDatePack;
      at(s, dvcodes::kDatePackId + 1) = 0xFF;  // time zone, unused
      at(s, dvcodes::kDatePackId + 2) = bcd(day);
      at(s, dvcodes::kDatePackId + 3) = bcd(month);
      at(s, dvcodes::kDatePackId + 4) = bcd(year2);
    });
    return *this;
  }
  DvFrameBuilder& recordingTime(int hours, int minutes, int seconds, int sequence = kAll) {
    forEach(sequence, [&](int s) {
      at(s, dvcodes::kTimePackId) = dvcodes::kRecordingTimePack;
      at(s, dvcodes::kTimePackId + 1) = 0xFF;  // frames, unused
      at(s, dvcodes::kTimePackId + 2) = bcd(seconds);
      at(s, dvcodes::kTimePackId + 3) = bcd(minutes);
      at(s, dvcodes::kTimePackId + 4) = bcd(hours);
    });
    return *this;
  }
  DvFrameBuilder& recorded(int year4, int month, int day, int hours, int minutes, int seconds) {
    recordingDate(day, month, year4 % 100);
    return recordingTime(hours, minutes, seconds);
  }
  DvFrameBuilder& sourceControl(uint8_t disp, int sequence = kAll) {
    forEach(sequence, [&](int s) {
      at(s, dvcodes::kSourceControlPackId) = dvcodes::kSourceControlPack;
      at(s, dvcodes::kSourceControlDispByte) = static_cast<uint8_t>(0xF8 | (disp & 0x7));
    });
    return *this;
  }
  DvFrameBuilder& aauxSource(uint8_t dataByte) {
    forEach(kAll, [&](int s) {
      at(s, dvcodes::kAauxSourcePackId) = dvcodes::kAauxSourcePack;
      at(s, dvcodes::kAauxSourceDataByte) = dataByte;
    });
    return *this;
  }
  // A frame as a camcorder writes it: time code, date, 4:3 or 16:9 source control, 48 kHz audio.
  DvFrameBuilder& camera(bool wide = false) {
    applicationId3(0);
    timeCode(0, 0, 0, 0);
    sourceControl(wide ? 7 : 0);
    return aauxSource(0x00);
  }

 private:
  template <class F>
  void forEach(int sequence, F f) {
    if (sequence == kAll)
      for (int s = 0; s < sequences_; ++s) f(s);
    else
      f(sequence);
  }

  int sequences_;
  std::vector<uint8_t> bytes_;
};

}  // namespace vistrel::filters::testing
