#pragma once
// Watches a running recording for the faults that no writer reports: the file's folder removed or
// renamed (on Linux the open file goes on being written into an inode that no name reaches any
// more, so the recording would be lost without a word) and a video device that stops delivering
// frames without going away. The window checks it at each tick of its recording timer and stops
// the recording when it reports a fault. User-interface thread only.

#include <QString>
#include <cstdint>
#include <optional>

namespace vistrel::app {

// Whether `fileName` can be created where it is named (the file, not its folder, is tried and
// removed again); `error` is the errno value of the refusal.
bool ProbeFileCreation(const QString& fileName, int& error);

class TRecordingWatch {
 public:
  enum class Fault { None, FileGone, Stalled };
  // Without a frame delivered or dropped for this long, the video device is taken as stalled.
  static constexpr int64_t kStallMs = 4000;

  TRecordingWatch() = default;
  TRecordingWatch(const TRecordingWatch&) = delete;
  TRecordingWatch& operator=(const TRecordingWatch&) = delete;
  ~TRecordingWatch();

  // A file begins (start or cut) at `nowMs`; `watchFile` false for recordings that write no file.
  void Begin(const QString& file, bool watchFile, int64_t nowMs);
  // The recording ended: nothing more is watched (a held vanished file is released).
  void End();
  bool Active() const { return active_; }
  const QString& File() const { return file_; }

  // `frames`: the video capture filter's delivered plus dropped frames, none without a counter.
  // A file is only reported gone after it was once seen, so that writers that create it late
  // are not taken for lost ones.
  Fault Check(int64_t nowMs, std::optional<int64_t> frames);

  // While the writer still holds the vanished file open: opens the same inode through the
  // process's descriptor table, so that it outlives the writer's close. False when not found.
  bool HoldVanishedFile();
  // After the writer closed it: the held content copied to the file's name again, its folder
  // created. False with `error` set when that fails; the hold is released either way.
  bool RestoreVanishedFile(QString& error);

 private:
  void release();

  QString file_;
  bool active_ = false, watchFile_ = false, seen_ = false;
  int64_t lastProgressMs_ = 0, lastFrames_ = -1;
  int heldFd_ = -1;
};

}  // namespace vistrel::app
