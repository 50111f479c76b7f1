#include "filters/DvCodes.h"

#include <chrono>

namespace vistrel::filters::dvcodes {
namespace {

// The byte at `offset` of DIF sequence `sequence`, or nullopt outside the frame or the examined
// sequences.
std::optional<uint8_t> byteAt(std::span<const uint8_t> frame, int sequence, size_t offset) {
  if (sequence < 0 || sequence >= kExaminedSequences || offset >= kDifSequenceBytes) return std::nullopt;
  const size_t at = static_cast<size_t>(sequence) * kDifSequenceBytes + offset;
  if (at >= frame.size()) return std::nullopt;
  return frame[at];
}

uint8_t byteOr(std::span<const uint8_t> frame, int sequence, size_t offset, uint8_t fallback) {
  return byteAt(frame, sequence, offset).value_or(fallback);
}

int bcd(uint8_t byte, uint8_t tensMask) { return ((byte >> 4) & tensMask) * 10 + (byte & 0x0F); }

std::optional<uint8_t> aauxSourceData(std::span<const uint8_t> frame) {
  if (byteAt(frame, 0, kAauxSourcePackId) != kAauxSourcePack) return std::nullopt;
  return byteAt(frame, 0, kAauxSourceDataByte);
}

}  // namespace

TimeCode DecodeTimeCode(std::span<const uint8_t> frame, int sequence) {
  TimeCode result;
  if (byteAt(frame, sequence, kTimeCodePackId1) != kTimeCodePack ||
      byteAt(frame, sequence, kTimeCodePackId2) != kTimeCodePack)
    return result;
  // The pack's four data bytes follow its ID; the second copy only confirms the pack is there.
  const auto f = byteAt(frame, sequence, kTimeCodePackId1 + 1);
  const auto s = byteAt(frame, sequence, kTimeCodePackId1 + 2);
  const auto m = byteAt(frame, sequence, kTimeCodePackId1 + 3);
  const auto h = byteAt(frame, sequence, kTimeCodePackId1 + 4);
  if (!f || !s || !m || !h) return result;
  result.frames = static_cast<uint8_t>(bcd(*f, 0x3));
  result.seconds = static_cast<uint8_t>(bcd(*s, 0x7));
  result.minutes = static_cast<uint8_t>(bcd(*m, 0x7));
  result.hours = static_cast<uint8_t>(bcd(*h, 0x3));
  return result;
}

RecordingDateTime DecodeRecordingDateTime(std::span<const uint8_t> frame, int sequence) {
  RecordingDateTime result;
  const auto dateId = byteAt(frame, sequence, kDatePackId);
  const auto timeId = byteAt(frame, sequence, kTimePackId);
  if (!dateId || (*dateId != kRecordingDatePack && *dateId != 0x00)) return result;
  if (!timeId || (*timeId != kRecordingTimePack && *timeId != 0x00)) return result;
  // Data bytes: date pack +2 day, +3 month, +4 year; time pack +2 seconds, +3 minutes, +4 hours.
  const auto day = byteAt(frame, sequence, kDatePackId + 2);
  const auto month = byteAt(frame, sequence, kDatePackId + 3);
  const auto year = byteAt(frame, sequence, kDatePackId + 4);
  const auto seconds = byteAt(frame, sequence, kTimePackId + 2);
  const auto minutes = byteAt(frame, sequence, kTimePackId + 3);
  const auto hours = byteAt(frame, sequence, kTimePackId + 4);
  if (!day || !month || !year || !seconds || !minutes || !hours) return result;
  const int twoDigits = bcd(*year, 0xF);
  result.year = twoDigits < 40 ? 2000 + twoDigits : 1900 + twoDigits;
  result.month = bcd(*month, 0x1);
  result.day = bcd(*day, 0x3);
  result.seconds = bcd(*seconds, 0x7);
  result.minutes = bcd(*minutes, 0x7);
  result.hours = bcd(*hours, 0x3);
  return result;
}

bool HasSourceControl(std::span<const uint8_t> frame) {
  return byteAt(frame, 0, kSourceControlPackId) == kSourceControlPack;
}

uint8_t DecodeVideoSystem(std::span<const uint8_t> frame) {
  switch (byteOr(frame, 0, kVideoSystemByte, 0)) {
    case 0xBF: return kVideoSystem625_50;
    case 0x3F: return kVideoSystem525_60;
    default: return kVideoSystemOther;
  }
}

int32_t DecodeAudioSamplingRate(std::span<const uint8_t> frame) {
  const auto data = aauxSourceData(frame);
  if (!data) return -1;
  switch ((*data >> 3) & 0x7) {
    case 0: return 48000;
    case 1: return 44100;
    case 2: return 32000;
    default: return 0;
  }
}

int32_t DecodeAudioQuantization(std::span<const uint8_t> frame) {
  const auto data = aauxSourceData(frame);
  if (!data) return -1;
  switch (*data & 0x7) {
    case 0: return 16;
    case 1: return 12;
    default: return 0;
  }
}

bool Is16x9(std::span<const uint8_t> frame) {
  for (int sequence = 0; sequence < kExaminedSequences; ++sequence) {
    if (byteAt(frame, sequence, kSourceControlPackId) != kSourceControlPack) continue;
    const auto disp = byteAt(frame, sequence, kSourceControlDispByte);
    if (!disp) return false;
    const int mode = *disp & 0x7;
    // Display mode 7 means 16:9 only on consumer DV (application ID 0).
    return mode == 2 || (mode == 7 && (byteOr(frame, sequence, kAp3Byte, 0xFF) & 0x7) == 0);
  }
  return false;
}

void Force16x9(std::span<uint8_t> frame, int sequence) {
  if (sequence < 0 || sequence >= kExaminedSequences) return;
  const size_t base = static_cast<size_t>(sequence) * kDifSequenceBytes;
  if (base + kSourceControlDispByte >= frame.size()) return;
  frame[base + kSourceControlPackId] = kSourceControlPack;
  frame[base + kSourceControlDispByte] = (frame[base + kAp3Byte] & 0x7) != 0 ? 2 : 7;
}

std::optional<double> ToDateTime(const RecordingDateTime& value) {
  using namespace std::chrono;
  if (!value.present()) return std::nullopt;
  if (value.month < 1 || value.month > 12 || value.day < 1 || value.day > 31) return std::nullopt;
  const year_month_day date{year{value.year}, month{static_cast<unsigned>(value.month)},
                            day{static_cast<unsigned>(value.day)}};
  if (!date.ok()) return std::nullopt;
  if (value.hours < 0 || value.hours > 23 || value.minutes < 0 || value.minutes > 59 || value.seconds < 0 ||
      value.seconds > 59)
    return std::nullopt;
  constexpr sys_days kEpoch = sys_days{year{1899} / December / 30};
  const double days = static_cast<double>((sys_days{date} - kEpoch).count());
  const int secondsOfDay = value.hours * 3600 + value.minutes * 60 + value.seconds;
  return days + secondsOfDay / 86400.0;
}

}  // namespace vistrel::filters::dvcodes
