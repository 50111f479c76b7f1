#pragma once
// A DV tape read from a raw DV file (the frames one after the other, as camcorders' tapes are
// dumped): PAL or NTSC from the first frame's header, a length of whole frames (a truncated last
// frame is left out). A file that is not DV is refused with a message for the user (in French,
// like the program's other messages) saying why. Frames are
// read from the file on demand; the pack helpers read what a deck reads back from a frame.
// Not thread-safe: one reader at a time.

#include <QFile>
#include <QString>
#include <memory>
#include <span>

#include "platform/media/dv/DvFrame.h"

namespace vistrel::platform::devices {

class DvTapeFile {
 public:
  // The tape, or null with `error` set (missing file, too short, not DV).
  static std::unique_ptr<DvTapeFile> open(const QString& path, QString& error);

  int64_t length() const { return frames_; }
  media::dv::System system() const { return system_; }
  size_t frameBytes() const { return media::dv::frameBytes(system_); }
  // Frame `index` into `frame` (frameBytes() long). False outside the tape or on a read error.
  bool frameAt(int64_t index, std::span<uint8_t> frame);

 private:
  DvTapeFile() = default;
  QFile file_;
  media::dv::System system_ = media::dv::System::Pal;
  int64_t frames_ = 0;
};

// Why `header` (at least the first 560 bytes of a frame) is not the start of a DV frame, or an
// empty text when it is; `system` is set from the header's 50/60 flag.
QString checkDvFrameHeader(std::span<const uint8_t> header, media::dv::System& system);

// The time code of the frame's subcode (false when the frame carries none).
bool readTimeCodePack(std::span<const uint8_t> frame, media::dv::System system, media::dv::TimeCode& code);

}  // namespace vistrel::platform::devices
