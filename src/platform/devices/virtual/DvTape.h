#pragma once
// The "tape" of the virtual DV camcorder: a generated stretch of DV frames as a camcorder
// records them, with a continuous time code, recording date and time packs that advance with
// the frames, stereo sound in the audio blocks, and scripted features along the tape so that
// scene detection and the overlay have something to find: recording breaks (the date jumps),
// undated stretches, and a switch from 4:3 to 16:9.
// Pictures are a moving test pattern encoded once per distinct picture; each frame then costs a
// copy, the sound and its packs. Not thread-safe: one reader at a time.

#include <QDateTime>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/media/dv/DvCodec.h"
#include "platform/media/dv/DvInterleave.h"

namespace vistrel::platform::devices {

struct DvTapeFeature {
  enum Kind { RecordingBreak, Undated, Wide };
  Kind kind = RecordingBreak;
  int64_t atFrame = 0;
  int64_t frames = 0;          // Undated: length of the stretch; Wide: 0 means to the end
  int64_t jumpSeconds = 3600;  // RecordingBreak: how far the date jumps forward
};

struct DvTapeDescription {
  media::dv::System system = media::dv::System::Pal;
  int64_t frames = 25 * 60;
  QDateTime recorded = QDateTime(QDate(2005, 12, 25), QTime(21, 45, 30));
  int sampleRate = 48000;  // 48000, 44100 or 32000, 0 for a silent tape
  int audioBits = 16;      // 16, or 12 at 32000 Hz (consumer camcorders' four-channel mode)
  std::vector<DvTapeFeature> features;
};

class DvTape {
 public:
  explicit DvTape(DvTapeDescription description, int distinctPictures = 25);

  bool valid() const { return !pictures_.empty(); }
  int64_t length() const { return description_.frames; }
  media::dv::System system() const { return description_.system; }
  const DvTapeDescription& description() const { return description_; }
  size_t frameBytes() const { return media::dv::frameBytes(description_.system); }
  // Frame `index` (0 .. length - 1) into `frame` (frameBytes() long). False outside the tape.
  bool frameAt(int64_t index, std::span<uint8_t> frame);
  // The recording date and time of a frame, or an invalid QDateTime in an undated stretch.
  QDateTime recordedAt(int64_t index) const;
  bool wideAt(int64_t index) const;
  // Sound samples (per channel) on the tape before frame `index`.
  int64_t samplesBefore(int64_t index) const;

 private:
  DvTapeDescription description_;
  std::vector<std::vector<uint8_t>> pictures_;
};

}  // namespace vistrel::platform::devices
