// Costs of a grabbed 720 x 576 picture on the user-interface thread: deinterlacing (a still
// picture and a moving one), the 4:3 aspect stretch, and the BMP and JPEG files.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QTemporaryDir>
#include <random>

#include "app/Deinterlacer.h"
#include "app/GrabPicture.h"

namespace {

using namespace vistrel::app;

QImage palPicture(bool moving) {
  QImage picture(720, 576, QImage::Format_BGR888);
  std::mt19937 random(3);
  for (int y = 0; y < picture.height(); ++y) {
    uint8_t* line = picture.scanLine(y);
    for (int x = 0; x < picture.width() * 3; ++x) {
      // A moving picture combs: odd lines differ from both neighbours the same way.
      const int base = (x / 3 + y / 8) % 200;
      line[x] = static_cast<uint8_t>(moving && (y % 2) ? base + 50 : base + static_cast<int>(random() % 8));
    }
  }
  return picture;
}

void BM_DeinterlaceStill(benchmark::State& state) {
  const QImage source = palPicture(false);
  QImage out, m1, m2;
  for (auto _ : state) {
    Deinterlace(source, out, m1, m2);
    benchmark::DoNotOptimize(out.constBits());
  }
}
BENCHMARK(BM_DeinterlaceStill)->Unit(benchmark::kMillisecond);

void BM_DeinterlaceMoving(benchmark::State& state) {
  const QImage source = palPicture(true);
  QImage out, m1, m2;
  for (auto _ : state) {
    Deinterlace(source, out, m1, m2);
    benchmark::DoNotOptimize(out.constBits());
  }
}
BENCHMARK(BM_DeinterlaceMoving)->Unit(benchmark::kMillisecond);

void BM_AspectStretch(benchmark::State& state) {
  const QImage source = palPicture(false);
  const QSize size = AspectCorrectedSize(source.size(), {4, 3});
  for (auto _ : state) {
    QImage saved = source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    benchmark::DoNotOptimize(saved.constBits());
  }
}
BENCHMARK(BM_AspectStretch)->Unit(benchmark::kMillisecond);

void BM_WritePicture(benchmark::State& state) {
  const QImage source = palPicture(false);
  QTemporaryDir dir;
  const int extension = static_cast<int>(state.range(0));
  const QString path = dir.filePath(extension == 1 ? QStringLiteral("p.jpg") : QStringLiteral("p.bmp"));
  for (auto _ : state) benchmark::DoNotOptimize(WritePicture(source, path, extension, 50));
}
BENCHMARK(BM_WritePicture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
