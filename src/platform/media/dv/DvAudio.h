#pragma once
// The sound of a 25 Mbit/s DV frame, written and read by our own code: the nine audio blocks of
// each DIF sequence carry a five-byte AAUX pack and 72 bytes of samples, spread over the blocks
// and sequences in the fixed shuffled order of the DV format so that a damaged stretch of tape
// loses scattered samples, not a run of them.
//   16-bit (48 000, 44 100 or 32 000 Hz): one channel per block, big-endian samples; the left
//     channel in the first half of the sequences, the right one in the second half.
//   12-bit (32 000 Hz, the consumer camcorders' "4 channel" mode): both channels of a pair in one
//     block, a left and a right sample packed into three bytes, nonlinearly companded from 16
//     bits; the first pair in the first half of the sequences, the second pair (left silent and
//     marked "no sound" here) in the second half.
// The sound is unlocked: a frame holds a whole number of samples, spread evenly over the frames
// (1600/1602 at 48 kHz NTSC, 1067/1068 at 32 kHz NTSC). Plain functions over frame bytes,
// callable from any thread.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/media/dv/DvFrame.h"

namespace vistrel::platform::media::dv {

struct AudioFormat {
  int sampleRate = 48000;  // 48000, 44100 or 32000
  int bits = 16;           // 16, or 12 (32000 Hz only)
  friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

bool isWritable(const AudioFormat& format);

// The nonlinear 12-bit code (low 12 bits, two's complement) of a 16-bit sample and back. The
// steps double every 256 codes past 512: a sample comes back within 63 of itself at worst, and
// exactly below 512 in magnitude.
uint16_t compress12(int16_t sample);
int16_t expand12(uint16_t code);

// Samples per channel in frame `index` of a stream (unlocked sound), and the range a frame of
// that system and rate may hold.
int samplesInFrame(System system, int sampleRate, int64_t index);
int minSamplesPerFrame(System system, int sampleRate);
int maxSamplesPerFrame(System system, int sampleRate);

// Writes the AAUX source and source-control packs and `stereo` (interleaved left/right samples,
// between minSamplesPerFrame and maxSamplesPerFrame per channel) into the audio blocks of
// `frame`; the video, header, subcode and VAUX blocks are left as they are. With 12-bit sound,
// `secondPair` (as many samples as `stereo`, or empty for a pair marked "no sound") is the
// second stereo pair, in the second half of the sequences. False (nothing written) for a
// format, a count or a frame size that does not fit, or a second pair with 16-bit sound.
bool writeFrameAudio(std::span<uint8_t> frame, System system, const AudioFormat& format,
                     std::span<const int16_t> stereo, std::span<const int16_t> secondPair = {});

// The AAUX source pack (ID and four data bytes) that writeFrameAudio puts into the first half
// of the sequences, or the second half when `secondHalf` (12-bit: a second pair that is there
// when `secondPairSounds`, marked "no sound" otherwise), for a frame of `samples` per channel.
std::array<uint8_t, 5> aauxSourcePack(System system, const AudioFormat& format, int samples, bool secondHalf,
                                      bool secondPairSounds = false);

// Reads back the first channel pair (or, with `secondPair`, the second pair of 12-bit sound) as
// 16-bit interleaved stereo, with the format the frame's AAUX source pack announces. False when
// the frame has no usable source pack.
bool readFrameAudio(std::span<const uint8_t> frame, System system, AudioFormat& format,
                    std::vector<int16_t>& stereo, bool secondPair = false);

// The four data bytes of a pack, the first in the low byte (as a DV information block holds
// them), or 0xFFFFFFFF when the pack is not there.
struct InfoPacks {
  uint32_t aauxSource = 0xFFFFFFFF, aauxControl = 0xFFFFFFFF;    // first channel pair
  uint32_t aauxSource1 = 0xFFFFFFFF, aauxControl1 = 0xFFFFFFFF;  // a second pair that sounds
  uint32_t vauxSource = 0xFFFFFFFF, vauxControl = 0xFFFFFFFF;
};
// Reads the AAUX source and control packs of both halves of the frame (the second half's only
// when it holds a second channel pair that sounds, not the right channel of 16-bit stereo nor a
// pair marked "no sound") and the VAUX source and source control packs of its first sequence.
InfoPacks readInfoPacks(std::span<const uint8_t> frame, System system);

}  // namespace vistrel::platform::media::dv
