#include "app/GrabPicture.h"

#include <QImageWriter>
#include <QLocale>
#include <QSaveFile>
#include <QtEndian>
#include <cmath>
#include <limits>
#include <numbers>

#include "app/JpegWriter.h"

namespace vistrel::app {

Aspect GrabAspect(uint8_t ratio, const GrabVideo& video) {
  switch (ratio) {
    case 0:
      if (video.dv) return video.dvWideScreen ? Aspect{16, 9} : Aspect{4, 3};
      return {video.aspectX, video.aspectY};
    case 1: return {4, 3};
    case 2: return {16, 9};
    case 3: return {video.width, video.height};
    default: return {};
  }
}

QSize AspectCorrectedSize(QSize size, Aspect aspect) {
  const int64_t a = aspect.a, b = aspect.b;
  if (a <= 0 || b <= 0) return size;
  const int64_t w = size.width(), h = size.height();
  if (b * w < a * h) return {size.width(), static_cast<int>((b * w) / a)};
  if (a * h < b * w) return {static_cast<int>((a * h) / b), size.height()};
  return size;
}

QRect ThumbnailBounds(QSize saved) {
  const int64_t w = saved.width(), h = saved.height();
  if (w <= 0 || h <= 0) return {32, 163 - 144, 192, 144};
  int tw = 192, th = 144;
  if (144 * w < 192 * h)
    tw = static_cast<int>((144 * w) / h);
  else
    th = static_cast<int>((192 * h) / w);
  return {32 + (192 - tw) / 2, 163 - th, tw, th};
}

int32_t IntervalPeriod(int32_t value, int unit, double framesPerSecond) {
  int64_t factor = 10'000;
  switch (unit) {
    case kFrames: {
      const double rate = framesPerSecond > 0 ? framesPerSecond : 25.0;
      factor = std::llround(10'000.0 / rate);
      break;
    }
    case kMinutes: factor = 600'000; break;
    case kHours: factor = 36'000'000; break;
    default: break;
  }
  const int64_t period = static_cast<int64_t>(std::max<int32_t>(value, 0)) * factor;
  return static_cast<int32_t>(std::min<int64_t>(period, std::numeric_limits<int32_t>::max()));
}

QByteArray BeepWave(int which) {
  constexpr int kRate = 11'025;
  // The grab's own beep is a little longer and higher than the seconds before it.
  const int count = which == 0 ? 649 : 635;
  const double pitch = which == 0 ? 1'760.0 : 1'320.0;
  QByteArray samples(count, '\x80');
  for (int i = 0; i < count; ++i) {
    // A short rise and fall, so that the tone does not click.
    const double edge = std::min({1.0, i / 40.0, (count - 1 - i) / 40.0});
    const double v = std::sin(2 * std::numbers::pi * pitch * i / kRate) * edge;
    samples[i] = static_cast<char>(static_cast<uint8_t>(128 + std::lround(v * 100)));
  }
  const bool pad = count % 2 != 0;
  QByteArray wav;
  auto u32 = [&](uint32_t v) {
    char b[4];
    qToLittleEndian(v, b);
    wav.append(b, 4);
  };
  auto u16 = [&](uint16_t v) {
    char b[2];
    qToLittleEndian(v, b);
    wav.append(b, 2);
  };
  wav.append("RIFF");
  u32(static_cast<uint32_t>(4 + 8 + 16 + 8 + count + (pad ? 1 : 0)));
  wav.append("WAVEfmt ");
  u32(16);
  u16(1);  // PCM
  u16(1);  // mono
  u32(kRate);
  u32(kRate);  // bytes per second
  u16(1);      // block
  u16(8);      // bits
  wav.append("data");
  u32(static_cast<uint32_t>(count));
  wav.append(samples);
  if (pad) wav.append('\0');
  return wav;
}

std::optional<double> ParseFramerate(const QString& text) {
  QLocale french(QLocale::French);
  french.setNumberOptions(QLocale::RejectGroupSeparator);
  bool ok = false;
  const double rate = french.toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(rate) || rate <= 0) return std::nullopt;
  return rate;
}

QString FramerateText(double rate) {
  QLocale french(QLocale::French);
  french.setNumberOptions(QLocale::OmitGroupSeparator);
  return french.toString(rate, 'g', 15);
}

bool WritePicture(const QImage& picture, const QString& path, int extension, int quality) {
  if (picture.isNull()) return false;
  if (extension == 1) return WriteJpeg(picture, path, quality);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  QImageWriter writer(&file, "BMP");
  return writer.write(picture.convertToFormat(QImage::Format_RGB888)) && file.commit();
}

}  // namespace vistrel::app
