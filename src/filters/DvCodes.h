#pragma once
// Decoders of the auxiliary packs of a raw 25 Mbit/s DV frame (time code, recording date and
// time, audio format, video system, display aspect) and the writer that marks a frame 16:9.
// A frame is 10 (525/60) or 12 (625/50) DIF sequences of 12 000 bytes; only the first 10 are
// examined. Every read is bounds-checked against the span: a frame that is short, truncated or
// full of random bytes gives invalid results and is never read outside its bytes.
// Pure functions; any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vistrel::filters::dvcodes {

constexpr size_t kDifBlockBytes = 80;
constexpr size_t kDifSequenceBytes = 150 * kDifBlockBytes;  // 12 000
constexpr int kExaminedSequences = 10;
// Header block, two subcode blocks and three VAUX blocks at the start of each sequence.
constexpr size_t kHeaderAreaBytes = 6 * kDifBlockBytes;  // 480

// Byte positions from the start of a DIF sequence.
constexpr size_t kVideoSystemByte = 3;
constexpr size_t kAp3Byte = 7;
constexpr size_t kTimeCodePackId1 = 110;
constexpr size_t kTimeCodePackId2 = 190;
constexpr size_t kSourceControlPackId = 453;
constexpr size_t kSourceControlDispByte = 455;
constexpr size_t kDatePackId = 458;
constexpr size_t kTimePackId = 463;
constexpr size_t kAauxSourcePackId = 4323;
constexpr size_t kAauxSourceDataByte = 4327;

constexpr uint8_t kTimeCodePack = 0x13;
constexpr uint8_t kSourceControlPack = 0x61;
constexpr uint8_t kRecordingDatePack = 0x62;
constexpr uint8_t kRecordingTimePack = 0x63;
constexpr uint8_t kAauxSourcePack = 0x50;

struct TimeCode {
  uint8_t hours = 0xFF;  // bit 7 set: no time code
  uint8_t minutes = 0;
  uint8_t seconds = 0;
  uint8_t frames = 0;
  bool valid() const { return (hours & 0x80) == 0; }
};

struct RecordingDateTime {
  int year = -1;  // -1: no date pack
  int month = 0;
  int day = 0;
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
  bool present() const { return year != -1; }
};

// Video system codes.
constexpr uint8_t kVideoSystem625_50 = 0;
constexpr uint8_t kVideoSystem525_60 = 1;
constexpr uint8_t kVideoSystemOther = 2;

// Time code of DIF sequence `sequence` (0-9): valid only when both copies of the pack say 0x13.
TimeCode DecodeTimeCode(std::span<const uint8_t> frame, int sequence);
// Recording date and time of DIF sequence `sequence`: present when the date pack is 0x62 (or
// 0x00) and the time pack 0x63 (or 0x00). Two-digit years below 40 are 20xx, others 19xx.
RecordingDateTime DecodeRecordingDateTime(std::span<const uint8_t> frame, int sequence);
// The first sequence carries a VAUX source control pack.
bool HasSourceControl(std::span<const uint8_t> frame);
// kVideoSystem625_50, kVideoSystem525_60 or kVideoSystemOther from the first sequence.
uint8_t DecodeVideoSystem(std::span<const uint8_t> frame);
// 48000, 44100, 32000, 0 for another code, -1 without an AAUX source pack in the first sequence.
int32_t DecodeAudioSamplingRate(std::span<const uint8_t> frame);
// 16, 12, 0 for another code, -1 without an AAUX source pack in the first sequence.
int32_t DecodeAudioQuantization(std::span<const uint8_t> frame);
// The display mode of the first sequence (0-9) that carries a source control pack says 16:9.
bool Is16x9(std::span<const uint8_t> frame);
// Marks DIF sequence `sequence` 16:9: a source control pack with display mode 2 (professional
// application ID) or 7 (consumer DV). Does nothing when the sequence lies outside the frame.
void Force16x9(std::span<uint8_t> frame, int sequence);

// Days since 30 December 1899 (whole seconds), or nullopt when the fields are not a real date
// and time (day 0, month 13, 25 o'clock...).
std::optional<double> ToDateTime(const RecordingDateTime& value);

}  // namespace vistrel::filters::dvcodes
