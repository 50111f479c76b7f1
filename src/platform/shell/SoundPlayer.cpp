#include "platform/shell/SoundPlayer.h"

#include <alsa/asoundlib.h>

#include <cstdio>
#include <cstring>

#include "platform/Environment.h"

namespace vistrel::platform::shell {
namespace {

uint32_t le32(const char* p) {
  return static_cast<uint8_t>(p[0]) | static_cast<uint8_t>(p[1]) << 8 | static_cast<uint8_t>(p[2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24;
}
uint16_t le16(const char* p) {
  return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | static_cast<uint8_t>(p[1]) << 8);
}

void playOnAlsa(const PcmSound& sound, const std::atomic<bool>& cancel) {
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) {
    static std::atomic<bool> warned{false};
    if (!warned.exchange(true))
      std::fprintf(stderr, "vistrel: warning: no sound output; sounds are not played\n");
    return;
  }
  const snd_pcm_format_t format = sound.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
  if (snd_pcm_set_params(pcm, format, SND_PCM_ACCESS_RW_INTERLEAVED, static_cast<unsigned>(sound.channels),
                         static_cast<unsigned>(sound.sampleRate), 1, 200000) == 0) {
    const int frameBytes = sound.channels * sound.bitsPerSample / 8;
    const char* data = sound.samples.constData();
    snd_pcm_uframes_t left = static_cast<snd_pcm_uframes_t>(sound.samples.size() / frameBytes);
    while (left > 0 && !cancel) {
      const snd_pcm_uframes_t chunk = std::min<snd_pcm_uframes_t>(left, 4096);
      snd_pcm_sframes_t written = snd_pcm_writei(pcm, data, chunk);
      if (written < 0) written = snd_pcm_recover(pcm, static_cast<int>(written), 1);
      if (written < 0) break;
      data += written * frameBytes;
      left -= static_cast<snd_pcm_uframes_t>(written);
    }
    if (!cancel) snd_pcm_drain(pcm);
  }
  snd_pcm_close(pcm);
}

}  // namespace

std::optional<PcmSound> parseWav(const QByteArray& wav) {
  const char* p = wav.constData();
  const qsizetype size = wav.size();
  if (size < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0) return std::nullopt;
  PcmSound sound;
  bool haveFormat = false;
  for (qsizetype at = 12; at + 8 <= size;) {
    const uint32_t chunkSize = le32(p + at + 4);
    const qsizetype body = at + 8;
    if (chunkSize > static_cast<uint64_t>(size - body)) return std::nullopt;
    if (std::memcmp(p + at, "fmt ", 4) == 0 && chunkSize >= 16) {
      if (le16(p + body) != 1) return std::nullopt;  // PCM only
      sound.channels = le16(p + body + 2);
      sound.sampleRate = static_cast<int>(le32(p + body + 4));
      sound.bitsPerSample = le16(p + body + 14);
      haveFormat = true;
    } else if (std::memcmp(p + at, "data", 4) == 0 && haveFormat) {
      sound.samples = wav.mid(body, chunkSize);
      const bool usable = sound.channels >= 1 && sound.channels <= 8 && sound.sampleRate > 0 &&
                          (sound.bitsPerSample == 8 || sound.bitsPerSample == 16);
      return usable ? std::optional<PcmSound>(sound) : std::nullopt;
    }
    at = body + chunkSize + (chunkSize & 1);
  }
  return std::nullopt;
}

bool SoundPlayer::play(const QByteArray& wav) {
  std::optional<PcmSound> sound = parseWav(wav);
  if (!sound) return false;
  stop();
  if (!deviceSetting().isEmpty()) return false;  // a virtual device set has no sound output
  cancel_ = false;
  worker_ = std::thread([this, s = std::move(*sound)] { playOnAlsa(s, cancel_); });
  return true;
}

void SoundPlayer::stop() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

SoundPlayer& SoundPlayer::shared() {
  static SoundPlayer player;
  return player;
}

}  // namespace vistrel::platform::shell
