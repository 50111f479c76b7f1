#pragma once
// The scene file written beside a DV recording (".scn", read by Kronel): a header naming the
// file itself, one record per scene the scene detector reports, and the scene count patched into
// the header when the file is closed. Little-endian throughout; the path is written as UTF-8.
//
// Threads: Open and Close run on the user-interface thread; Scene runs on the scene detector's
// streaming thread, only between Open and Close (the graph is stopped before Close), so no lock.

#include <QString>
#include <cstdint>
#include <cstdio>

#include "filters/SceneDetector.h"

namespace vistrel::app {

class TSceneFile {
 public:
  // Kronel's limit: scenes beyond it are ignored.
  static constexpr int32_t kMaxScenes = 32768;

  TSceneFile() = default;
  ~TSceneFile();
  TSceneFile(const TSceneFile&) = delete;
  TSceneFile& operator=(const TSceneFile&) = delete;

  // Creates (replaces) the file and writes the header with a count of 0. False when the file
  // cannot be created or the header not written; nothing is open then.
  bool Open(const QString& path);
  // One scene: its first frame and the current frame, zero-based counts of the detector.
  // Ignored when nothing is open or the limit is reached; write failures are swallowed.
  void Scene(int32_t firstFrame, int32_t currentFrame);
  // Writes the count into the header and closes; nothing when nothing is open.
  void Close();

  // The routine handed to the scene detector: forwards to Scene on the streaming thread.
  filters::SceneDetector::SceneCallback Routine();

  bool IsOpen() const { return file_ != nullptr; }
  const QString& Path() const { return path_; }
  int32_t Count() const { return count_; }

 private:
  void put(const void* data, size_t size);
  void putByte(uint8_t value) { put(&value, 1); }
  void putInt32(int32_t value);
  void putPath();

  QString path_;
  QByteArray pathBytes_;
  std::FILE* file_ = nullptr;
  long countOffset_ = 0;
  int32_t count_ = 0;
};

}  // namespace vistrel::app
