#include "platform/devices/virtual/DvTape.h"

#include <cmath>
#include <cstring>

namespace vistrel::platform::devices {
namespace {

using media::dv::System;

// A moving pattern: colour bars that slide with the picture number, over a gradient.
std::vector<uint8_t> patternPicture(int number, int count, int height) {
  const int stride = 720 * 3;
  std::vector<uint8_t> rgb(static_cast<size_t>(stride * height));
  static const uint8_t bars[8][3] = {{255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
                                     {255, 0, 255},   {0, 0, 255},   {255, 0, 0},   {0, 0, 0}};
  const int shift = number * 720 / std::max(1, count);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < 720; ++x) {
      uint8_t* p = &rgb[static_cast<size_t>(y * stride + x * 3)];
      if (y < height * 2 / 3) {
        const uint8_t* bar = bars[((x + shift) % 720) * 8 / 720];
        p[0] = bar[0], p[1] = bar[1], p[2] = bar[2];
      } else {
        p[0] = p[1] = p[2] = static_cast<uint8_t>(x * 255 / 720);
      }
    }
  }
  return rgb;
}

double framesPerSecond(System s) { return s == System::Pal ? 25.0 : 30000.0 / 1001.0; }

}  // namespace

int64_t DvTape::samplesBefore(int64_t index) const {
  const int64_t rate = description_.sampleRate;
  return description_.system == System::Pal ? index * rate / 25 : index * rate * 1001 / 30000;
}

DvTape::DvTape(DvTapeDescription description, int distinctPictures) : description_(std::move(description)) {
  const int height = description_.system == System::Pal ? 576 : 480;
  media::dv::DvEncoder encoder;
  if (!encoder.open(description_.system) || description_.frames <= 0) return;
  distinctPictures = std::max(1, distinctPictures);
  for (int i = 0; i < distinctPictures; ++i) {
    const auto rgb = patternPicture(i, distinctPictures, height);
    std::vector<uint8_t> frame(frameBytes());
    if (!encoder.encode({rgb.data(), 720, height, 720 * 3}, frame)) {
      pictures_.clear();
      return;
    }
    pictures_.push_back(std::move(frame));
  }
}

QDateTime DvTape::recordedAt(int64_t index) const {
  int64_t jumped = 0;
  for (const DvTapeFeature& f : description_.features) {
    if (f.kind == DvTapeFeature::Undated && index >= f.atFrame && index < f.atFrame + f.frames) return {};
    if (f.kind == DvTapeFeature::RecordingBreak && index >= f.atFrame) jumped += f.jumpSeconds;
  }
  const auto seconds = static_cast<int64_t>(std::floor(index / framesPerSecond(description_.system)));
  return description_.recorded.addSecs(seconds + jumped);
}

bool DvTape::wideAt(int64_t index) const {
  for (const DvTapeFeature& f : description_.features)
    if (f.kind == DvTapeFeature::Wide && index >= f.atFrame &&
        (f.frames == 0 || index < f.atFrame + f.frames))
      return true;
  return false;
}

bool DvTape::frameAt(int64_t index, std::span<uint8_t> frame) {
  if (!valid() || index < 0 || index >= length() || frame.size() < frameBytes()) return false;
  const auto& picture = pictures_[static_cast<size_t>(index % static_cast<int64_t>(pictures_.size()))];
  std::span<uint8_t> out = frame.first(frameBytes());
  std::memcpy(out.data(), picture.data(), picture.size());
  const int rate = description_.sampleRate;
  if (rate > 0) {
    // This frame's share of a continuous 440 Hz tone, so that the sound runs on across frames.
    const auto first = samplesBefore(index), next = samplesBefore(index + 1);
    std::vector<int16_t> sound(static_cast<size_t>(next - first) * 2);
    for (int64_t s = 0; s < next - first; ++s) {
      const auto v =
          static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * static_cast<double>(first + s) / rate));
      sound[static_cast<size_t>(2 * s)] = v;
      sound[static_cast<size_t>(2 * s + 1)] = v;
    }
    // Our own packing for every format: the frame holds exactly its share of the unlocked sound
    // (1600/1602 samples per NTSC frame at 48 kHz), so the tone runs on unbroken.
    media::dv::writeFrameAudio(out, description_.system, {rate, description_.audioBits}, sound);
  }
  media::dv::writeTimeCode(out, description_.system, media::dv::timeCodeOfFrame(index, description_.system));
  const QDateTime when = recordedAt(index);
  if (when.isValid()) {
    media::dv::writeRecordingDateTime(out, description_.system,
                                      {when.date().year(), when.date().month(), when.date().day(),
                                       when.time().hour(), when.time().minute(), when.time().second()});
  } else {
    media::dv::clearRecordingDateTime(out, description_.system);  // an undated stretch
  }
  media::dv::writeAspect(out, description_.system, wideAt(index));
  return true;
}

}  // namespace vistrel::platform::devices
