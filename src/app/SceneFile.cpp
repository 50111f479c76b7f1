#include "app/SceneFile.h"

#include <QFile>
#include <array>

namespace vistrel::app {

namespace {

constexpr std::array<uint8_t, 14> kHeaderStart = {0x63, 0x26, 0x01, 0x00, 0x04, 0x00, 0x00,
                                                  0x00, 0xFF, 0xFF, 0x03, 0x00, 0x0A, 0x00};
constexpr std::array<uint8_t, 6> kClipStart = {0xFF, 0xFF, 0x01, 0x00, 0x04, 0x00};
constexpr std::array<uint8_t, 6> kSceneStart = {0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00};
constexpr std::array<uint8_t, 6> kFirstRecordStart = {0x00, 0x00, 0x00, 0x00, 0x01, 0x80};
constexpr std::array<uint8_t, 9> kRecordStart = {0x03, 0x80, 0xF0, 0x00, 0x00, 0x00, 0x05, 0x80, 0x00};
constexpr std::array<uint8_t, 6> kRecordMiddle = {0x00, 0x00, 0x00, 0x00, 0x07, 0x00};
constexpr std::array<uint8_t, 8> kZeros = {};

}  // namespace

TSceneFile::~TSceneFile() { Close(); }

void TSceneFile::put(const void* data, size_t size) {
  if (file_) std::fwrite(data, 1, size, file_);
}

void TSceneFile::putInt32(int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  const uint8_t bytes[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8),
                            static_cast<uint8_t>(u >> 16), static_cast<uint8_t>(u >> 24)};
  put(bytes, 4);
}

// The length byte holds the length modulo 256, but the whole path follows it.
void TSceneFile::putPath() {
  putByte(static_cast<uint8_t>(pathBytes_.size() & 0xFF));
  put(pathBytes_.constData(), static_cast<size_t>(pathBytes_.size()));
}

bool TSceneFile::Open(const QString& path) {
  Close();
  path_ = path;
  pathBytes_ = path.toUtf8();
  count_ = 0;
  file_ = std::fopen(QFile::encodeName(path).constData(), "wb");
  if (!file_) return false;
  // Records arrive a few per minute; unbuffered writes keep the file complete at any moment.
  std::setvbuf(file_, nullptr, _IONBF, 0);

  put(kHeaderStart.data(), kHeaderStart.size());
  put("SourceTape", 10);
  putPath();
  put(kZeros.data(), 8);
  // The real offset of the count: with paths of 256 bytes or more the length byte alone would
  // point into the path.
  countOffset_ = 25 + static_cast<long>(pathBytes_.size()) + 8;
  const uint8_t zeroCount[2] = {0, 0};
  put(zeroCount, 2);
  put(kClipStart.data(), kClipStart.size());
  put("ClipP", 5);
  put(kZeros.data(), 3);
  put(kSceneStart.data(), kSceneStart.size());
  put("Scene", 5);
  put(kZeros.data(), 5);

  if (std::ferror(file_) || std::ftell(file_) != countOffset_ + 32) {
    std::fclose(file_);
    file_ = nullptr;
    return false;
  }
  return true;
}

void TSceneFile::Scene(int32_t firstFrame, int32_t currentFrame) {
  if (!file_ || count_ >= kMaxScenes) return;
  ++count_;
  if (count_ == 1) {
    putInt32(currentFrame + 1);
    put(kFirstRecordStart.data(), kFirstRecordStart.size());
    putPath();
    put(kZeros.data(), 8);
    putInt32(currentFrame + 1);
  } else {
    const int32_t first = firstFrame + 1;
    const int32_t length = currentFrame - firstFrame + 1;
    put(kRecordStart.data(), kRecordStart.size());
    putInt32(first);
    putInt32(length);
    put(kRecordMiddle.data(), kRecordMiddle.size());
    putInt32(first);
    putInt32(length);
    putInt32(first);
  }
}

void TSceneFile::Close() {
  if (!file_) return;
  if (std::fseek(file_, countOffset_, SEEK_SET) == 0) {
    const auto count = static_cast<uint16_t>(count_);
    const uint8_t bytes[2] = {static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8)};
    put(bytes, 2);
  }
  std::fclose(file_);
  file_ = nullptr;
}

filters::SceneDetector::SceneCallback TSceneFile::Routine() {
  return [this](const filters::TFrameRecord& sceneStart, const filters::TFrameRecord& current) {
    Scene(sceneStart.FrameNumber, current.FrameNumber);
  };
}

}  // namespace vistrel::app
