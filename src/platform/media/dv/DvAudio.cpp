#include "platform/media/dv/DvAudio.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vistrel::platform::media::dv {
namespace {

constexpr int kAudioBlocks = 9;
constexpr size_t kDataStart = 8;  // 3 ID bytes, then the 5-byte AAUX pack
constexpr size_t kDataBytes = kBlockBytes - kDataStart;
constexpr uint8_t kSourcePack = 0x50, kSourceControlPack = 0x51;

// Byte offset of audio block `block` (0..8) of DIF sequence `sequence`: each is followed by 15
// video blocks, after the header, two subcode and three VAUX blocks.
size_t audioBlockOffset(int sequence, int block) {
  return static_cast<size_t>(sequence) * kSequenceBytes + static_cast<size_t>(6 + 16 * block) * kBlockBytes;
}

// Where sample (or stereo pair) `n` goes within its half of the frame: the sequence counted from
// the half's first, the audio block and the slot in that block.
struct Place {
  int sequence, block, slot;
};
Place placeOf(System system, int n) {
  const int half = sequences(system) / 2;  // 6 or 5
  const int round = kAudioBlocks * half;   // one sample in each block of the half
  return Place{(n / 3 + 2 * (n % 3)) % half, 3 * (n % 3) + (n % round) / (round / 3), n / round};
}

int rateCode(int rate) { return rate == 48000 ? 0 : rate == 44100 ? 1 : rate == 32000 ? 2 : -1; }
int rateOfCode(int code) { return code == 0 ? 48000 : code == 1 ? 44100 : code == 2 ? 32000 : 0; }

// Which AAUX pack an audio block carries: even sequences have the five packs in blocks 3 to 7,
// odd ones in blocks 0 to 4; the other blocks carry none.
int packIndexOf(int sequence, int block) {
  const int first = sequence % 2 == 0 ? 3 : 0;
  return block >= first && block < first + 5 ? block - first : -1;
}

}  // namespace

std::array<uint8_t, 5> aauxSourcePack(System system, const AudioFormat& format, int samples, bool secondHalf,
                                      bool secondPairSounds) {
  const bool twelve = format.bits == 12;
  std::array<uint8_t, 5> p{};
  p[0] = kSourcePack;
  // Unlocked sound; the count beyond the least a frame holds.
  p[1] = static_cast<uint8_t>(0x80 | 0x40 | (samples - minSamplesPerFrame(system, format.sampleRate)));
  // Channels per block (one, or two for 12-bit pairs) and the audio mode: 16-bit left / right,
  // 12-bit stereo for each pair, 0xF (no sound) for an empty second pair.
  p[2] = twelve ? static_cast<uint8_t>(0x20 | (secondHalf && !secondPairSounds ? 0x0F : 0x00))
                : static_cast<uint8_t>(secondHalf ? 1 : 0);
  // Not multi-language, the 50/60 field flag, standard audio type.
  p[3] = static_cast<uint8_t>(0x80 | 0x40 | (system == System::Pal ? 0x20 : 0x00));
  // No emphasis, sampling frequency, quantization.
  p[4] = static_cast<uint8_t>(0x80 | rateCode(format.sampleRate) << 3 | (twelve ? 1 : 0));
  return p;
}

namespace {

// Copy free, original recording, forward at normal speed, no genre.
constexpr std::array<uint8_t, 5> kControlPack = {kSourceControlPack, 0x03, 0xCF, 0xA0, 0xFF};

int16_t bigEndian16(const uint8_t* p) { return static_cast<int16_t>(p[0] << 8 | p[1]); }

int expandMagnitude(int code) {  // 0 .. 2047
  if (code < 512) return code;
  const int shift = code / 256 - 1;
  return (code - 256 * shift) << shift;
}

}  // namespace

bool isWritable(const AudioFormat& format) {
  if (format.bits == 12) return format.sampleRate == 32000;
  return format.bits == 16 && rateCode(format.sampleRate) >= 0;
}

uint16_t compress12(int16_t sample) {
  // Negative samples mirror the positive ones around -1/2: -1 - f(-1 - x), which is ~f in 12 bits.
  const bool negative = sample < 0;
  const int v = negative ? -1 - sample : sample;
  int code = v;
  if (v >= 512) {
    int shift = 1;
    while (v >= (512 << shift)) ++shift;
    code = 256 * shift + (v >> shift);
  }
  return static_cast<uint16_t>((negative ? ~code : code) & 0xFFF);
}

int16_t expand12(uint16_t code) {
  int c = code & 0xFFF;
  if (c >= 0x800) c -= 0x1000;
  return static_cast<int16_t>(c < 0 ? -1 - expandMagnitude(-1 - c) : expandMagnitude(c));
}

int minSamplesPerFrame(System system, int sampleRate) {
  const bool pal = system == System::Pal;
  switch (sampleRate) {
    case 48000: return pal ? 1896 : 1580;
    case 44100: return pal ? 1742 : 1452;
    case 32000: return pal ? 1264 : 1053;
    default: return 0;
  }
}

int maxSamplesPerFrame(System system, int sampleRate) {
  const bool pal = system == System::Pal;
  switch (sampleRate) {
    case 48000: return pal ? 1944 : 1620;
    case 44100: return pal ? 1786 : 1489;
    case 32000: return pal ? 1296 : 1080;
    default: return 0;
  }
}

int samplesInFrame(System system, int sampleRate, int64_t index) {
  if (system == System::Pal) return sampleRate / 25;
  // 30000/1001 frames a second: the fractional part is carried from frame to frame.
  const auto upTo = [&](int64_t frames) { return frames * sampleRate * 1001 / 30000; };
  return static_cast<int>(upTo(index + 1) - upTo(index));
}

bool writeFrameAudio(std::span<uint8_t> frame, System system, const AudioFormat& format,
                     std::span<const int16_t> stereo, std::span<const int16_t> secondPair) {
  if (!isWritable(format) || frame.size() < frameBytes(system) || stereo.size() % 2 != 0) return false;
  const bool fourChannels = !secondPair.empty();
  if (fourChannels && (format.bits != 12 || secondPair.size() != stereo.size())) return false;
  const int samples = static_cast<int>(stereo.size() / 2);
  if (samples < minSamplesPerFrame(system, format.sampleRate) ||
      samples > maxSamplesPerFrame(system, format.sampleRate))
    return false;
  const int n = sequences(system);
  const int half = n / 2;
  const bool twelve = format.bits == 12;
  // Blocks, packs and unused slots first: silence everywhere.
  for (int s = 0; s < n; ++s) {
    const bool secondHalf = s >= half;
    const auto source = aauxSourcePack(system, format, samples, secondHalf, fourChannels);
    for (int b = 0; b < kAudioBlocks; ++b) {
      uint8_t* block = frame.data() + audioBlockOffset(s, b);
      block[0] = static_cast<uint8_t>(0x70 | (block[0] >> 5 == 3 ? block[0] & 0x0F : 0x0F));
      block[1] = static_cast<uint8_t>(s << 4 | 0x07);
      block[2] = static_cast<uint8_t>(b);
      const int pack = packIndexOf(s, b);
      if (pack == 0)
        std::memcpy(block + 3, source.data(), 5);
      else if (pack == 1)
        std::memcpy(block + 3, kControlPack.data(), 5);
      else
        std::memset(block + 3, 0xFF, 5);
      std::memset(block + kDataStart, 0, kDataBytes);
    }
  }
  for (int i = 0; i < samples; ++i) {
    const Place at = placeOf(system, i);
    const int16_t left = stereo[static_cast<size_t>(2 * i)];
    const int16_t right = stereo[static_cast<size_t>(2 * i + 1)];
    if (twelve) {
      for (int pair = 0; pair < (fourChannels ? 2 : 1); ++pair) {
        const std::span<const int16_t> from = pair == 0 ? stereo : secondPair;
        const uint16_t l = compress12(from[static_cast<size_t>(2 * i)]);
        const uint16_t r = compress12(from[static_cast<size_t>(2 * i + 1)]);
        uint8_t* p =
            frame.data() + audioBlockOffset(at.sequence + pair * half, at.block) + kDataStart + 3 * at.slot;
        p[0] = static_cast<uint8_t>(l >> 4);
        p[1] = static_cast<uint8_t>(r >> 4);
        p[2] = static_cast<uint8_t>((l & 0x0F) << 4 | (r & 0x0F));
      }
    } else {
      for (int channel = 0; channel < 2; ++channel) {
        const auto v = static_cast<uint16_t>(channel == 0 ? left : right);
        uint8_t* p = frame.data() + audioBlockOffset(at.sequence + channel * half, at.block) + kDataStart +
                     2 * at.slot;
        p[0] = static_cast<uint8_t>(v >> 8);
        p[1] = static_cast<uint8_t>(v & 0xFF);
      }
    }
  }
  return true;
}

bool readFrameAudio(std::span<const uint8_t> frame, System system, AudioFormat& format,
                    std::vector<int16_t>& stereo, bool secondPair) {
  if (frame.size() < frameBytes(system)) return false;
  // The source pack of the first sequence (block 3), else of any sequence of the first half.
  const uint8_t* pack = nullptr;
  const int half = sequences(system) / 2;
  for (int s = 0; s < half && !pack; ++s)
    for (int b = 0; b < kAudioBlocks && !pack; ++b)
      if (packIndexOf(s, b) == 0 && frame[audioBlockOffset(s, b) + 3] == kSourcePack)
        pack = frame.data() + audioBlockOffset(s, b) + 3;
  if (!pack) return false;
  AudioFormat found{rateOfCode((pack[4] >> 3) & 0x07), (pack[4] & 0x07) == 1   ? 12
                                                       : (pack[4] & 0x07) == 0 ? 16
                                                                               : 0};
  if (!isWritable(found) || (secondPair && found.bits != 12)) return false;
  const int pairOffset = secondPair ? half : 0;
  const int samples = minSamplesPerFrame(system, found.sampleRate) + (pack[1] & 0x3F);
  if (samples > maxSamplesPerFrame(system, found.sampleRate)) return false;
  format = found;
  stereo.assign(static_cast<size_t>(samples) * 2, 0);
  for (int i = 0; i < samples; ++i) {
    const Place at = placeOf(system, i);
    if (found.bits == 12) {
      const uint8_t* p =
          frame.data() + audioBlockOffset(at.sequence + pairOffset, at.block) + kDataStart + 3 * at.slot;
      stereo[static_cast<size_t>(2 * i)] = expand12(static_cast<uint16_t>(p[0] << 4 | p[2] >> 4));
      stereo[static_cast<size_t>(2 * i + 1)] = expand12(static_cast<uint16_t>(p[1] << 4 | (p[2] & 0x0F)));
    } else {
      for (int channel = 0; channel < 2; ++channel)
        stereo[static_cast<size_t>(2 * i + channel)] =
            bigEndian16(frame.data() + audioBlockOffset(at.sequence + channel * half, at.block) + kDataStart +
                        2 * at.slot);
    }
  }
  return true;
}

InfoPacks readInfoPacks(std::span<const uint8_t> frame, System system) {
  InfoPacks packs;
  if (frame.size() < frameBytes(system)) return packs;
  const auto word = [](const uint8_t* pack) {
    return static_cast<uint32_t>(pack[1]) | static_cast<uint32_t>(pack[2]) << 8 |
           static_cast<uint32_t>(pack[3]) << 16 | static_cast<uint32_t>(pack[4]) << 24;
  };
  // The first pack with that ID in the audio blocks of sequences [from, to).
  const auto aaux = [&](uint8_t id, int from, int to) -> const uint8_t* {
    for (int s = from; s < to; ++s)
      for (int b = 0; b < kAudioBlocks; ++b)
        if (packIndexOf(s, b) >= 0 && frame[audioBlockOffset(s, b) + 3] == id)
          return frame.data() + audioBlockOffset(s, b) + 3;
    return nullptr;
  };
  const int half = sequences(system) / 2;
  if (const uint8_t* p = aaux(kSourcePack, 0, half)) packs.aauxSource = word(p);
  if (const uint8_t* p = aaux(kSourceControlPack, 0, half)) packs.aauxControl = word(p);
  // The second half holds a pair of its own only with 12-bit sound (two channels per block) that
  // is not marked "no sound"; with 16-bit sound it holds the right channel of the first pair.
  if (const uint8_t* p = aaux(kSourcePack, half, 2 * half);
      p && (p[4] & 0x07) == 1 && (p[2] & 0x60) == 0x20 && (p[2] & 0x0F) != 0x0F) {
    packs.aauxSource1 = word(p);
    if (const uint8_t* c = aaux(kSourceControlPack, half, 2 * half)) packs.aauxControl1 = word(c);
  }
  // VAUX: the first source and source control packs among the 45 of the first sequence.
  for (size_t at = 240 + 3; at < 480; at += (at % 80) == 73 ? 10 : 5) {
    if (frame[at] == 0x60 && packs.vauxSource == 0xFFFFFFFF) packs.vauxSource = word(frame.data() + at);
    if (frame[at] == 0x61 && packs.vauxControl == 0xFFFFFFFF) packs.vauxControl = word(frame.data() + at);
  }
  return packs;
}

}  // namespace vistrel::platform::media::dv
