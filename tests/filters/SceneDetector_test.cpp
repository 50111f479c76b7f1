#include "filters/SceneDetector.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <atomic>
#include <thread>
#include <vector>

#include "filters/DvFrameBuilder.h"

namespace vistrel::filters {
namespace {

using testing::DvFrameBuilder;

struct Scene {
  int32_t startFrame;
  int32_t currentFrame;
  bool startDateValid;
};

// Seconds after 10:00:00 on 1 July 2006; negative: an undated frame.
std::vector<uint8_t> frameAt(int seconds, bool wide = false) {
  DvFrameBuilder b;
  b.camera(wide);
  if (seconds >= 0) b.recorded(2006, 7, 1, 10 + seconds / 3600, (seconds / 60) % 60, seconds % 60);
  return b.bytes();
}

class SceneDetectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    detector.SetSceneCallback([this](const TFrameRecord& start, const TFrameRecord& current) {
      scenes.push_back({start.FrameNumber, current.FrameNumber, start.DateValid});
    });
  }
  // Feeds frames given as seconds after 10:00:00 (negative: undated).
  void feed(const std::vector<int>& seconds) {
    for (int s : seconds) detector.AnalyseFrame(frameAt(s), 0);
  }
  SceneDetector detector;
  std::vector<Scene> scenes;
};

TEST_F(SceneDetectorTest, RecordingBreakStartsOneScene) {
  // 10:00:01 ... 10:00:05, then 14:30:00.
  feed({1, 2, 3, 4, 5, 4 * 3600 + 30 * 60});
  ASSERT_EQ(scenes.size(), 1u);
  EXPECT_EQ(scenes[0].startFrame, 1);  // the first scene starts at the first stored frame
  EXPECT_EQ(scenes[0].currentFrame, 5);
  EXPECT_EQ(detector.SceneStartRecord().FrameNumber, 5);
  // Stopping closes the last scene.
  detector.CloseLastScene();
  ASSERT_EQ(scenes.size(), 2u);
  EXPECT_EQ(scenes[1].startFrame, 5);
  EXPECT_EQ(scenes[1].currentFrame, 6);
}

TEST_F(SceneDetectorTest, DateStepThreshold) {
  struct Case {
    int step;
    bool scene;
  };
  for (const Case c : {Case{1, false}, Case{2, false}, Case{3, true}, Case{-1, false}, Case{-2, false},
                       Case{-3, true}, Case{0, false}}) {
    SceneDetector d;
    int count = 0;
    d.SetSceneCallback([&](const TFrameRecord&, const TFrameRecord&) { ++count; });
    // Late in the day, where day fractions round least kindly.
    const int base = 13 * 3600 + 59 * 60 + 50;
    d.AnalyseFrame(frameAt(base), 0);
    d.AnalyseFrame(frameAt(base), 0);
    d.AnalyseFrame(frameAt(base + c.step), 0);
    EXPECT_EQ(count, c.scene ? 1 : 0) << "step " << c.step;
  }
}

TEST_F(SceneDetectorTest, UndatedStretchStartsSceneAtItsFirstFrame) {
  std::vector<int> seconds(20, 7);       // frames 0-19 dated
  seconds.insert(seconds.end(), 5, -1);  // frames 20-24 undated
  seconds.insert(seconds.end(), 10, 9);  // frames 25-34 dated again, within 12 frames
  feed(seconds);
  ASSERT_EQ(scenes.size(), 1u);
  EXPECT_EQ(scenes[0].currentFrame, 20);
  EXPECT_EQ(detector.SceneStartRecord().FrameNumber, 20);
  EXPECT_FALSE(detector.SceneStartRecord().DateValid);
}

TEST_F(SceneDetectorTest, DatesResumingAfterTwelveFramesStartAnotherScene) {
  struct Case {
    int undated;
    size_t scenes;
  };
  for (const Case c : {Case{12, 1}, Case{13, 2}, Case{40, 2}}) {
    SceneDetector d;
    std::vector<Scene> found;
    d.SetSceneCallback([&](const TFrameRecord& s, const TFrameRecord& cur) {
      found.push_back({s.FrameNumber, cur.FrameNumber, s.DateValid});
    });
    for (int i = 0; i < 5; ++i) d.AnalyseFrame(frameAt(1), 0);
    for (int i = 0; i < c.undated; ++i) d.AnalyseFrame(frameAt(-1), 0);
    d.AnalyseFrame(frameAt(1), 0);
    ASSERT_EQ(found.size(), c.scenes) << c.undated;
    EXPECT_EQ(found[0].currentFrame, 5);
    if (c.scenes == 2) {
      EXPECT_EQ(found[1].startFrame, 5);
      EXPECT_EQ(found[1].currentFrame, 5 + c.undated);
    }
  }
}

TEST_F(SceneDetectorTest, UndatedTapeFromTheStartHasNoScenes) {
  feed({-1, -1, -1, -1});
  EXPECT_TRUE(scenes.empty());
  detector.CloseLastScene();
  ASSERT_EQ(scenes.size(), 1u);
  EXPECT_EQ(scenes[0].startFrame, 1);
}

TEST_F(SceneDetectorTest, NoCallbackIsFine) {
  detector.SetSceneCallback(nullptr);
  feed({1, 500, -1, 2});
  detector.CloseLastScene();
  EXPECT_TRUE(scenes.empty());
}

TEST_F(SceneDetectorTest, MediaTimesAndFrameNumbers) {
  for (int64_t i = 0; i < 5; ++i) EXPECT_EQ(detector.AnalyseFrame(frameAt(1), 1000 * i), i);
  const TFrameRecord current = detector.CurrentRecord();
  EXPECT_EQ(current.FrameNumber, 5);
  EXPECT_EQ(current.FrameNumberCopy, 4);
  EXPECT_EQ(detector.WritePosition(), 5);
  TFrameRecord stored;
  int64_t start = 0;
  ASSERT_TRUE(detector.Ring().ReadRecord(5, stored, start));
  EXPECT_EQ(stored.FrameNumber, 5);
  EXPECT_EQ(start, 4000);
  EXPECT_FALSE(detector.Ring().Filled(0));  // the first frame goes to entry 1
}

TEST_F(SceneDetectorTest, RecordFields) {
  DvFrameBuilder b;
  b.camera(true).timeCode(1, 12, 35, 14).recorded(2005, 12, 25, 21, 45, 30).aauxSource(0x08);
  detector.AnalyseFrame(b.bytes(), 0);
  const TFrameRecord r = detector.CurrentRecord();
  EXPECT_TRUE(r.DateValid);
  EXPECT_DOUBLE_EQ(r.RecordingDateTime, 38711 + (21 * 3600 + 45 * 60 + 30) / 86400.0);
  EXPECT_TRUE(r.TimeCodeValid);
  EXPECT_EQ(r.TimeCode[0], 1);
  EXPECT_EQ(r.TimeCode[1], 12);
  EXPECT_EQ(r.TimeCode[2], 35);
  EXPECT_EQ(r.TimeCode[3], 14);
  EXPECT_TRUE(r.Wide16x9);
  EXPECT_TRUE(r.Locked);
  EXPECT_EQ(r.VideoSystem, 0);
  EXPECT_EQ(r.AudioSamplingRate, 44100);
  EXPECT_EQ(r.AudioQuantization, 16);

  // A frame without packs: invalid fields; the time code is kept from the last frame.
  DvFrameBuilder empty;
  detector.AnalyseFrame(empty.bytes(), 0);
  const TFrameRecord e = detector.CurrentRecord();
  EXPECT_FALSE(e.TimeCodeValid);
  EXPECT_EQ(e.TimeCode[1], 12);
  EXPECT_FALSE(e.Locked);
  EXPECT_FALSE(e.Wide16x9);
  EXPECT_EQ(e.AudioSamplingRate, -1);
  EXPECT_EQ(e.AudioQuantization, -1);
}

TEST_F(SceneDetectorTest, DateFromFirstSequenceThatHasOne) {
  DvFrameBuilder b;
  b.recordingDate(3, 4, 7, 6).recordingTime(5, 6, 7, 6);
  for (int s = 0; s < 6; ++s) {  // no date packs in sequences 0-5
    b.at(s, dvcodes::kDatePackId) = 0xFF;
  }
  detector.AnalyseFrame(b.bytes(), 0);
  EXPECT_TRUE(detector.CurrentRecord().DateValid);
  // An unreal first date is not valid even when a later sequence holds a real one.
  b.recordingDate(0, 0, 0, 5).recordingTime(0, 0, 0, 5);
  b.at(5, dvcodes::kDatePackId) = 0x00;
  b.at(5, dvcodes::kTimePackId) = 0x00;
  detector.AnalyseFrame(b.bytes(), 0);
  EXPECT_FALSE(detector.CurrentRecord().DateValid);
  EXPECT_EQ(detector.CurrentRecord().RecordingDateTime, 0);
}

TEST_F(SceneDetectorTest, ShortFramesAreAnalysedWithoutReadingPastThem) {
  const auto full = frameAt(1);
  for (size_t length : {size_t{0}, size_t{1}, size_t{479}, size_t{12000 * 9 + 100}}) {
    const std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<long>(length));
    detector.AnalyseFrame(cut, 0);
    FrameRingEntry entry;
    ASSERT_TRUE(detector.Ring().Read(detector.WritePosition(), entry));
    // Header areas beyond the frame read as zero.
    EXPECT_EQ(entry.Headers[9][dvcodes::kTimeCodePackId1], 0);
  }
}

TEST_F(SceneDetectorTest, ResetRestartsCounting) {
  feed({1, 2, 3});
  detector.CloseLastScene();
  detector.Reset();
  scenes.clear();
  EXPECT_EQ(detector.WritePosition(), 0);
  EXPECT_EQ(detector.ReadIndex(), 0);
  EXPECT_EQ(detector.CurrentRecord().FrameNumber, 0);
  EXPECT_TRUE(detector.CurrentRecord().DateValid);
  // The ring keeps what it held.
  EXPECT_TRUE(detector.Ring().Filled(3));
  // An earlier date in the next run does not count as a jump from the last run.
  EXPECT_EQ(detector.AnalyseFrame(frameAt(9000), 0), 0);
  EXPECT_TRUE(scenes.empty());
  EXPECT_EQ(detector.SceneStartRecord().FrameNumber, 1);
}

class MessageSink : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() != platform::ui::WindowMessageEvent::eventType()) return QObject::event(e);
    const auto* m = static_cast<platform::ui::WindowMessageEvent*>(e);
    messages.push_back({m->message(), m->wParam(), m->lParam()});
    return true;
  }
  struct Message {
    uint32_t message;
    intptr_t wParam, lParam;
  };
  std::vector<Message> messages;
};

TEST_F(SceneDetectorTest, WideScreenChangesPostOneMessageEach) {
  MessageSink sink;
  const auto window = platform::ui::registerWindow(&sink);
  detector.SetNotifyWindow(window);
  for (bool wide : {false, false, true, true, true, false, false}) detector.AnalyseFrame(frameAt(1, wide), 0);
  QCoreApplication::sendPostedEvents(&sink);
  ASSERT_EQ(sink.messages.size(), 2u);
  EXPECT_EQ(sink.messages[0].message, 1027u);
  EXPECT_EQ(sink.messages[0].wParam, 1);
  EXPECT_EQ(sink.messages[0].lParam, 1);
  EXPECT_EQ(sink.messages[1].lParam, 0);

  // Forgetting the state makes the next 16:9 frame notify again, as does a new run.
  sink.messages.clear();
  detector.AnalyseFrame(frameAt(1, true), 0);
  detector.AnalyseFrame(frameAt(1, true), 0);
  detector.ForgetWideScreen();
  detector.AnalyseFrame(frameAt(1, true), 0);
  detector.Reset();
  detector.AnalyseFrame(frameAt(1, true), 0);
  QCoreApplication::sendPostedEvents(&sink);
  EXPECT_EQ(sink.messages.size(), 3u);
  for (const auto& m : sink.messages) EXPECT_EQ(m.lParam, 1);
  platform::ui::unregisterWindow(window);
}

TEST_F(SceneDetectorTest, FindEntryAtOrBefore) {
  SceneDetector d;
  EXPECT_EQ(d.FindEntryAtOrBefore(0), -1);  // nothing stored yet
  for (int i = 0; i < 150; ++i) d.AnalyseFrame(frameAt(1), 400'000 * int64_t{i});
  // Frames 50-149 remain, in entries 51..99, 0..50.
  EXPECT_EQ(d.WritePosition(), 50);
  EXPECT_EQ(d.FindEntryAtOrBefore(400'000 * int64_t{149}), 50);
  EXPECT_EQ(d.FindEntryAtOrBefore(400'000 * int64_t{149} + 399'999), 50);
  EXPECT_EQ(d.FindEntryAtOrBefore(400'000 * int64_t{100} + 5), 1);
  EXPECT_EQ(d.FindEntryAtOrBefore(400'000 * int64_t{99}), 0);
  EXPECT_EQ(d.FindEntryAtOrBefore(400'000 * int64_t{60}), 61);
  // Older than everything: the oldest entry.
  EXPECT_EQ(d.FindEntryAtOrBefore(0), 51);
  d.SetReadIndex(61);
  EXPECT_EQ(d.ReadIndex(), 61);
  d.SetReadIndex(100);  // out of range: ignored
  EXPECT_EQ(d.ReadIndex(), 61);
}

// A reader on another thread never sees an entry mixing two frames. Not timed: it runs a fixed
// number of frames and checks every read that succeeded.
TEST(SceneDetectorThreads, ReadersNeverSeeHalfWrittenEntries) {
  SceneDetector detector;
  std::vector<std::vector<uint8_t>> frames;
  for (int k = 0; k < 7; ++k) {
    DvFrameBuilder b;
    for (int s = 0; s < b.sequences(); ++s)
      for (size_t i = 8; i < dvcodes::kHeaderAreaBytes; ++i) b.at(s, i) = static_cast<uint8_t>(k * 31 + 1);
    frames.push_back(b.bytes());
  }
  std::atomic<bool> done{false};
  std::atomic<long> reads{0}, torn{0};
  std::thread reader([&] {
    FrameRingEntry entry;
    int index = 0;
    while (!done.load()) {
      index = (index + 37) % FrameRing::kSize;
      if (!detector.Ring().Read(index, entry)) continue;
      ++reads;
      const uint8_t expected = static_cast<uint8_t>(entry.StartTime * 31 + 1);
      for (int s = 0; s < dvcodes::kExaminedSequences; ++s)
        for (size_t i = 8; i < dvcodes::kHeaderAreaBytes; ++i)
          if (entry.Headers[s][i] != expected) ++torn;
      (void)detector.CurrentRecord();
    }
  });
  for (int n = 0; n < 200'000 && (n < 1000 || reads.load() < 2000); ++n) {
    const int k = n % 7;
    detector.AnalyseFrame(frames[static_cast<size_t>(k)], k);
  }
  done = true;
  reader.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_GT(reads.load(), 0);
}

}  // namespace
}  // namespace vistrel::filters
