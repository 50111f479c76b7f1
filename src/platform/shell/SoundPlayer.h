#pragma once
// Plays a short WAV (the program's embedded sounds) without blocking the caller, on ALSA's
// "default" output. With a virtual device set (VISTREL_DEVICES) or no sound device, nothing is
// heard and nothing fails. A new sound replaces the one playing.

#include <QByteArray>
#include <atomic>
#include <optional>
#include <thread>

namespace vistrel::platform::shell {

struct PcmSound {
  int channels = 0;
  int sampleRate = 0;
  int bitsPerSample = 0;  // 8 or 16
  QByteArray samples;
};

// The PCM content of a RIFF WAVE file; nullopt for anything else (compressed, truncated...).
std::optional<PcmSound> parseWav(const QByteArray& wav);

class SoundPlayer {
 public:
  SoundPlayer() = default;
  ~SoundPlayer() { stop(); }
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  // False when the data is not a playable WAV or there is no sound output.
  bool play(const QByteArray& wav);
  void stop();

  static SoundPlayer& shared();

 private:
  std::thread worker_;
  std::atomic<bool> cancel_{false};
};

}  // namespace vistrel::platform::shell
