#include "filters/SceneDetector.h"

#include <cmath>
#include <cstdlib>

#include "filters/DvCodes.h"

namespace vistrel::filters {
namespace {

// Compared in whole seconds: the dates hold whole seconds, and a step of exactly the threshold
// must not pass for a jump through the rounding of day fractions.
bool jumps(double a, double b, int seconds) { return std::llround(std::fabs(a - b) * 86400.0) > seconds; }

}  // namespace

SceneDetector::SceneDetector() { Reset(); }

void SceneDetector::SetSceneCallback(SceneCallback callback) {
  if (callback)
    callback_.store(std::make_shared<const SceneCallback>(std::move(callback)));
  else
    callback_.store(nullptr);
}

void SceneDetector::SetReadIndex(int index) {
  if (index >= 0 && index < FrameRing::kSize) readIndex_.store(index, std::memory_order_release);
}

TFrameRecord SceneDetector::CurrentRecord() const {
  TFrameRecord record;
  if (published_.TryLoad(record)) return record;
  int64_t startTime = 0;
  ring_.ReadRecord(WritePosition(), record, startTime);
  return record;
}

int SceneDetector::FindEntryAtOrBefore(int64_t startTime) const {
  int index = WritePosition();
  int oldest = -1;
  for (int examined = 0; examined < FrameRing::kSize; ++examined) {
    TFrameRecord record;
    int64_t entryTime = 0;
    if (ring_.ReadRecord(index, record, entryTime)) {
      if (entryTime <= startTime) return index;
      oldest = index;
    }
    index = index == 0 ? FrameRing::kSize - 1 : index - 1;
  }
  return oldest;
}

void SceneDetector::decode(std::span<const uint8_t> frame) {
  using namespace dvcodes;
  current_.DateValid = false;
  current_.RecordingDateTime = 0;
  for (int s = 0; s < kExaminedSequences; ++s) {
    const RecordingDateTime date = DecodeRecordingDateTime(frame, s);
    if (!date.present()) continue;
    if (const auto value = ToDateTime(date)) {
      current_.DateValid = true;
      current_.RecordingDateTime = *value;
    }
    break;
  }
  current_.TimeCodeValid = false;
  for (int s = 0; s < kExaminedSequences; ++s) {
    const TimeCode code = DecodeTimeCode(frame, s);
    if (!code.valid()) continue;
    current_.TimeCodeValid = true;
    current_.TimeCode[0] = code.hours;
    current_.TimeCode[1] = code.minutes;
    current_.TimeCode[2] = code.seconds;
    current_.TimeCode[3] = code.frames;
    break;
  }
  current_.AudioSamplingRate = DecodeAudioSamplingRate(frame);
  current_.AudioQuantization = DecodeAudioQuantization(frame);
  current_.VideoSystem = DecodeVideoSystem(frame);
  current_.FrameNumberCopy = current_.FrameNumber;
  current_.Wide16x9 = Is16x9(frame);
  current_.Locked = current_.TimeCodeValid && HasSourceControl(frame) && current_.AudioSamplingRate != -1;
}

void SceneDetector::newScene() {
  if (const auto callback = callback_.load(); callback && *callback) (*callback)(sceneStart_, current_);
  sceneStart_ = current_;
}

int64_t SceneDetector::AnalyseFrame(std::span<const uint8_t> frame, int64_t startTime) {
  if (forgetWide_.exchange(false)) current_.Wide16x9 = false;
  previous_ = current_;
  const int64_t frameNumber = current_.FrameNumber;
  decode(frame);

  if (current_.Wide16x9 != previous_.Wide16x9) {
    if (const auto window = window_.load())
      platform::ui::postMessage(window, kWideScreenMessage, 1, current_.Wide16x9 ? 1 : 0);
  }

  const bool valid = current_.DateValid;
  const bool previousValid = previous_.DateValid;
  bool scene = false;
  if (!valid && previousValid) {
    scene = current_.FrameNumber > 0;
  } else if (valid && !previousValid) {
    scene = std::abs(current_.FrameNumber - sceneStart_.FrameNumber) > kFrameGap;
    previousDate_ = current_.RecordingDateTime;
  } else if (valid && previousValid) {
    scene = havePreviousDate_ && jumps(current_.RecordingDateTime, previousDate_, kDateJumpSeconds);
    previousDate_ = current_.RecordingDateTime;
    havePreviousDate_ = true;
  }
  if (scene) newScene();

  current_.FrameNumber += 1;
  const int position = (writePosition_.load(std::memory_order_relaxed) + 1) % FrameRing::kSize;
  ring_.Store(position, current_, startTime, frame);
  writePosition_.store(position, std::memory_order_release);

  if (firstFrame_) {
    sceneStart_ = current_;
    firstFrame_ = false;
  }
  publishCurrent();
  return frameNumber;
}

void SceneDetector::CloseLastScene() {
  if (const auto callback = callback_.load(); callback && *callback) (*callback)(sceneStart_, current_);
}

void SceneDetector::Reset() {
  writePosition_.store(0, std::memory_order_release);
  readIndex_.store(0, std::memory_order_release);
  sceneStart_.FrameNumber = 0;
  sceneStart_.DateValid = false;
  sceneStart_.TimeCodeValid = false;
  sceneStart_.Locked = false;
  firstFrame_ = true;
  current_.FrameNumber = 0;
  current_.DateValid = true;
  current_.Wide16x9 = false;
  previousDate_ = 0;
  havePreviousDate_ = false;
  publishCurrent();
}

void SceneDetector::publishCurrent() { published_.Store(current_); }

}  // namespace vistrel::filters
