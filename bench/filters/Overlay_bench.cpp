// Cost of the overlay filter per 720 × 576 frame: two lines of text with no outline and with the
// panel's widest outline, and the pass-through with overlay disallowed.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <memory>
#include <vector>

#include "filters/OverlayPicture.h"
#include "filters/SuperposerProcessor.h"

namespace {

using vistrel::filters::OverlayRowBytes;
using vistrel::filters::SuperposerProcessor;

// Text drawing needs a GUI application; the benchmarks run offscreen.
void ensureApplication() {
  static std::unique_ptr<QGuiApplication> app;
  if (QGuiApplication::instance()) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "bench_filters";
  static char* argv[] = {name, nullptr};
  app = std::make_unique<QGuiApplication>(argc, argv);
}

void runOverlay(benchmark::State& state, int border, bool allowed, bool changingText) {
  ensureApplication();
  const int w = 720, h = 576;
  SuperposerProcessor overlay;
  vistrel::platform::media::BITMAPINFOHEADER header;
  header.biWidth = w;
  header.biHeight = h;
  header.biBitCount = 24;
  overlay.StartStreaming(&header);
  vistrel::settings::TincrustRec rec = vistrel::settings::defaultIncrustRec();
  rec.WhatIncrust = 3;  // the clock: "ddddd" and "tt"
  rec.BorderSize = border;
  overlay.setincrust(rec);
  overlay.SetOverlaySwitch(true);
  overlay.SetOverlayAllowed(allowed);
  double now = 46'366.5;
  // A new second every frame, so that the text really changes from frame to frame.
  if (changingText) overlay.SetClock([&] { return now += 1.0 / 86'400; });

  std::vector<uint8_t> in(static_cast<size_t>(OverlayRowBytes(w) * h));
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 31 + (i >> 11));
  std::vector<uint8_t> out(in.size());
  int32_t length = 0;
  int64_t t = 0;
  for (auto _ : state) {
    overlay.ProcessFrame(in, t, out, length);
    t += 400'000;
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_OverlayTwoLinesBorder0(benchmark::State& state) { runOverlay(state, 0, true, true); }
void BM_OverlayTwoLinesBorder5(benchmark::State& state) { runOverlay(state, 5, true, true); }
void BM_OverlayPlainCopy(benchmark::State& state) { runOverlay(state, 5, false, true); }
void BM_OverlayTwoLinesBorder1(benchmark::State& state) { runOverlay(state, 1, true, true); }
BENCHMARK(BM_OverlayTwoLinesBorder1)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_OverlayTwoLinesBorder0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OverlayTwoLinesBorder5)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OverlayPlainCopy)->Unit(benchmark::kMicrosecond);

}  // namespace
