#pragma once
// The arithmetic and the files of a grabbed picture: its aspect correction, the thumbnail's
// place, the intervalometer's period, the countdown beeps and the picture files.

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>

namespace vistrel::app {

// What the window knows of the connected video for the aspect of a grab.
struct GrabVideo {
  int width = 0, height = 0;
  int aspectX = 0, aspectY = 0;  // 0:0 when the stream gives none
  bool dv = false;
  bool dvWideScreen = false;
};

struct Aspect {
  int a = 0, b = 0;
};

// The aspect a:b of "Aspect ratio": 0 the video's own (4:3 or 16:9 for DV), 1 4:3, 2 16:9,
// 3 the video's width and height. 0:0 leaves the picture as it is.
Aspect GrabAspect(uint8_t ratio, const GrabVideo& video);
// The picture's size for the aspect: one side shrinks so that w:h is a:b.
QSize AspectCorrectedSize(QSize size, Aspect aspect);

// The thumbnail of a saved picture within its 192 x 144 area: the picture's shape, bottom at
// 163, centred in the area starting at x 32.
QRect ThumbnailBounds(QSize saved);

// Units of the interval: "secondes", "frames", "minutes", "heures".
enum IntervalUnit { kSeconds = 0, kFrames = 1, kMinutes = 2, kHours = 3 };
// The period in 100 µs units of `value` in `unit`; `framesPerSecond` is the connected video's
// rate (25 when unknown). A period beyond the signed 32-bit range (about 59.6 hours) is held at
// its largest value instead of wrapping into a negative or short one.
int32_t IntervalPeriod(int32_t value, int unit, double framesPerSecond);

// The two countdown sounds as WAV files: 0 "BEEP0" (the grab), 1 "BEEP1" (the seconds before).
// 8-bit mono PCM at 11 025 Hz, 649 and 635 samples long.
QByteArray BeepWave(int which);

// The frames per second of an image-by-image video as the user writes it, a decimal number with
// a comma ("12,5"); nullopt when the text is not one, or is not above 0 (no video has such a
// rate, and the rate divides the file's time scale).
std::optional<double> ParseFramerate(const QString& text);
// The rate as the field shows it ("18", "12,5").
QString FramerateText(double rate);

// Writes the picture as a Windows bitmap (extension 0) or a JPEG of `quality` 1 to 100
// (extension 1). False when the file cannot be written.
bool WritePicture(const QImage& picture, const QString& path, int extension, int quality);

}  // namespace vistrel::app
