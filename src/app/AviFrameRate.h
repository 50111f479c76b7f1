#pragma once
// The frame rate of an image-by-image AVI file, rewritten in place once the recording is over:
// the frames were recorded one per grab, so the rate the multiplexer stored says nothing.

#include <QString>
#include <cstdint>
#include <optional>

namespace vistrel::app {

// Where the first video stream header's fields are in the file.
struct AviVideoHeader {
  int64_t handlerOffset = 0;  // fccHandler
  int64_t scaleOffset = 0;    // dwScale, followed by dwRate
};

// Walks the RIFF chunks of the file (into every list but "movi") up to the first video stream
// header ("vids" or "iavs"); nullopt when the file is no RIFF file or has none.
std::optional<AviVideoHeader> FindAviVideoHeader(const QString& path);

// Writes dwScale = round(1 000 000 / framesPerSecond) and dwRate = 1 000 000 into the video
// stream header. False, with the file unchanged, when there is no video stream header, the rate
// is not a positive number or the file cannot be written.
bool RewriteAviFrameRate(const QString& path, double framesPerSecond);

}  // namespace vistrel::app
