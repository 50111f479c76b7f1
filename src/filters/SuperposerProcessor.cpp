#include "filters/SuperposerProcessor.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

#include "filters/OverlayPicture.h"
#include "filters/OverlayText.h"

namespace vistrel::filters {
namespace {

using settings::TincrustRec;

std::shared_ptr<const OverlaySnapshot> makeSnapshot(const TincrustRec& rec, int pictureWidth) {
  auto snapshot = std::make_shared<OverlaySnapshot>();
  snapshot->rec = rec;
  snapshot->rec.Xpos = std::clamp(rec.Xpos, 0, 1000);
  snapshot->rec.Ypos = std::clamp(rec.Ypos, 0, 1000);
  snapshot->font = MakeOverlayFont(rec.FontRec, rec.Autofontsize != 0, pictureWidth);
  return snapshot;
}

// value × 10 000 000 ÷ d to the nearest integer, halves to even.
int32_t framesFor(int32_t seconds, int64_t d) {
  const int64_t num = static_cast<int64_t>(seconds) * 10'000'000;
  int64_t q = num / d;
  const int64_t r = num % d;  // same sign as num
  const int64_t twice = 2 * (r < 0 ? -r : r);
  if (twice > d || (twice == d && (q & 1) != 0)) q += num < 0 ? -1 : 1;
  return static_cast<int32_t>(std::clamp<int64_t>(q, INT32_MIN, INT32_MAX));
}

// Differences of whole-second date-times, counted in milliseconds so that rounding of the
// doubles cannot make a 2-second step look longer.
int64_t millisecondsBetween(double later, double earlier) {
  return std::llround((later - earlier) * 86'400'000.0);
}

}  // namespace

double SuperposerProcessor::LocalNow() {
  const QDateTime now = QDateTime::currentDateTime();
  const QDate epoch(1899, 12, 30);
  const double days = static_cast<double>(epoch.daysTo(now.date()));
  return days + now.time().msecsSinceStartOfDay() / 86'400'000.0;
}

SuperposerProcessor::SuperposerProcessor() : clock_(&SuperposerProcessor::LocalNow) {
  TincrustRec rec = settings::defaultIncrustRec();
  auto snapshot = std::make_shared<OverlaySnapshot>();
  snapshot->rec = rec;
  snapshot->rec.Xpos = 900;
  snapshot->rec.Ypos = 900;
  snapshot->font = MakeOverlayFont(rec.FontRec, rec.Autofontsize != 0, 0);
  snapshot_.store(std::move(snapshot));
}

void SuperposerProcessor::setincrust(const TincrustRec& rec) {
  snapshot_.store(makeSnapshot(rec, pictureWidth_.load()));
}

void SuperposerProcessor::SetOverlaySwitch(bool on) {
  overlaySwitch_.store(on);
  retrigger();
}

void SuperposerProcessor::whenincrust(uint8_t mode, int32_t seconds) {
  whenMode_.store(mode);
  durationSeconds_.store(seconds);
  const int64_t d = frameDuration_.load();
  if (d > 0) durationFrames_.store(framesFor(seconds, d));
  if (mode == 0) retrigger();
}

void SuperposerProcessor::StartIntervalometer(int64_t period) {
  period_.store(period);
  intervalometerStarts_.fetch_add(1);  // the streaming thread restarts the count
  intervalometerOn_.store(true);
}

bool SuperposerProcessor::StartStreaming(const platform::media::BITMAPINFOHEADER* header) {
  retrigger();
  if (!header) return false;
  const int w = header->biWidth;
  const int h = header->biHeight;
  const int absH = h < 0 ? -h : h;
  if (w <= 0 || w > kMaxDimension || h == 0 || absH > kMaxDimension) return false;
  width_ = w;
  height_ = h;
  headerHeight_ = h;
  if (picture_.width() != w || picture_.height() != absH) {
    picture_ = QImage(w, absH, QImage::Format_BGR888);
    picture_.fill(Qt::black);
  }
  pictureWidth_.store(w);
  intervalometer_.Restart();
  return true;
}

bool SuperposerProcessor::timedModeShows(uint8_t mode) {
  if (mode == 0) return true;
  int32_t left = framesLeft_.load();
  // A setter storing a new count meanwhile wins over this decrement.
  if (left > 0 && framesLeft_.compare_exchange_strong(left, left - 1)) --left;
  if (mode == 2) {
    if (dv0_ > 0 && (millisecondsBetween(dv0_, dv1_) > 2000 || dv0_ < dv1_)) retrigger();
  } else if (mode == 3) {
    if (clock0_ > 0 &&
        (OverlayDayOfMonth(clock0_) != OverlayDayOfMonth(clock1_) || std::fabs(clock0_ - clock1_) > 1.0))
      retrigger();
  }
  return framesLeft_.load() > 0;
}

SuperposerProcessor::FrameResult SuperposerProcessor::ProcessFrame(std::span<const uint8_t> in,
                                                                   int64_t startTime, std::span<uint8_t> out,
                                                                   int32_t& outLength) {
  FrameResult result = FrameResult::Deliver;
  const bool allowed = overlayAllowed_.load();
  const bool rowsInverted = rowsInverted_.load();
  if (!allowed) {
    if (!PlainCopyFrame(in, out, rowsInverted, width_, height_ < 0 ? -height_ : height_, outLength))
      result = FrameResult::Drop;
    grab(in, allowed, startTime);
    return result;
  }

  headerHeight_ = verticalFlip_.load() != rowsInverted ? -height_ : height_;
  if (!CopyFrameIntoPicture(in, headerHeight_, picture_)) {
    grab(in, allowed, startTime);
    return FrameResult::Drop;
  }
  if (horizontalFlip_.load()) MirrorPictureHorizontally(picture_);

  const std::shared_ptr<const OverlaySnapshot> snapshot = snapshot_.load();
  const TincrustRec& rec = snapshot->rec;
  clock1_ = clock0_;
  clock0_ = 0;
  double now = 0;
  bool haveNow = false;
  auto localNow = [&] {
    if (!haveNow) {
      now = clock_ ? clock_() : 0;
      haveNow = true;
    }
    return now;
  };
  if (rec.WhatIncrust == 3) clock0_ = localNow();

  OverlayTextInputs text;
  if (const std::shared_ptr<SceneDetector> dv = dvSource_.load()) {
    text.dvSource = true;
    dv1_ = dv0_;
    TFrameRecord record;
    int64_t entryTime = 0;
    const int index = dv->FindEntryAtOrBefore(startTime);
    if (index >= 0) {
      dv->SetReadIndex(index);
      if (!dv->Ring().ReadRecord(index, record, entryTime)) record = TFrameRecord{};
    }
    dv0_ = record.RecordingDateTime;
    if (rec.WhatIncrust == 0) clock0_ = dv0_;
    text.dvDateValid = record.DateValid;
    text.dvDateTime = dv0_;
    text.timeCodeValid = record.TimeCodeValid;
    std::copy(std::begin(record.TimeCode), std::end(record.TimeCode), text.timeCode);
  }

  if (overlaySwitch_.load() && timedModeShows(whenMode_.load())) {
    if (rec.WhatIncrust == 2 || rec.WhatIncrust == 3) text.now = localNow();
    ComposeOverlayLines(rec, text, line1_, line2_);
    if (snapshot != fontSource_) {
      // A private copy of the font: its glyph caches then belong to this thread alone.
      fontSource_ = snapshot;
      font_ = snapshot->font;
      font_.font.setPixelSize(font_.font.pixelSize());
    }
    const OverlayFont& font = font_;
    OverlayLinePlace p1, p2;
    if (PlaceOverlayLines(picture_.width(), picture_.height(), rec.Xpos, rec.Ypos, rec.Alignement,
                          font.height, OverlayTextPainter::TextWidth(font, line1_),
                          OverlayTextPainter::TextWidth(font, line2_), p1, p2)) {
      painter_.DrawLine(picture_, line1_, p1.x, p1.y, font, rec.BorderSize);
      painter_.DrawLine(picture_, line2_, p2.x, p2.y, font, rec.BorderSize);
    }
  }

  if (!WritePictureAsFrame(picture_, out, outLength)) result = FrameResult::Drop;
  grab(in, allowed, startTime);
  return result;
}

void SuperposerProcessor::grab(std::span<const uint8_t> in, bool overlayAllowed, int64_t startTime) {
  if (intervalometerOn_.load()) {
    const uint32_t starts = intervalometerStarts_.load();
    if (starts != seenStarts_) {
      seenStarts_ = starts;
      intervalometer_.Restart();
    }
    const OverlayIntervalometer::Step step = intervalometer_.Advance(startTime / 1000, period_.load());
    if (step.countdownChanged) post(kCountdownMessage, static_cast<intptr_t>(step.countdown), 0);
    if (step.grab) takeGrab(in, overlayAllowed);
  }
  if (grabRequest_.exchange(false)) takeGrab(in, overlayAllowed);
}

void SuperposerProcessor::takeGrab(std::span<const uint8_t> in, bool overlayAllowed) {
  const int slot = ring_.Advance();
  if (slot < 0) return;  // the window still holds that picture: this grab is lost
  grabRequest_.store(false);
  // Without overlay the working picture was not refreshed by this frame.
  if (!overlayAllowed && !CopyFrameIntoPicture(in, headerHeight_, picture_)) return;
  if (picture_.isNull()) return;
  ring_.Fill(slot, picture_);
  post(kGrabMessage, 0, slot);
}

void SuperposerProcessor::post(uint32_t message, intptr_t wParam, intptr_t lParam) const {
  if (const platform::ui::WindowHandle window = window_.load())
    platform::ui::postMessage(window, message, wParam, lParam);
}

}  // namespace vistrel::filters
