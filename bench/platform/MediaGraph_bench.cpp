// Per-sample cost of the media graph: a chain of pass-through filters, a tee into two branches,
// and the YUY2 to RGB24 conversion.
//
// With two branches the tee feeds each from a thread of its own, so its figures are wall time per
// sample and the CPU of the whole process (every thread), not only the pushing thread's.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/media/BaseOutputPin.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/TransInPlaceFilter.h"
#include "platform/media/filters/ColourConversion.h"
#include "platform/media/filters/InfTee.h"
#include "platform/media/filters/NullRenderer.h"

using namespace vistrel::platform::media;

namespace {
const GUID kBenchClsid = makeGuid("{77777777-2222-3333-4444-555555555555}");

class Source : public BaseFilter {
 public:
  explicit Source(MediaType t) : BaseFilter(kBenchClsid, QStringLiteral("bench source")), type(std::move(t)) {
    addPin(std::make_shared<Out>(this));
  }
  MediaType type;
  BaseOutputPin* out() const { return static_cast<BaseOutputPin*>(pin(0)); }
  std::shared_ptr<IPin> outPin() { return pins_[0]; }

 private:
  class Out : public BaseOutputPin {
   public:
    explicit Out(Source* s) : BaseOutputPin(s, QStringLiteral("Out")), s_(s) {}
    HRESULT CheckMediaType(const MediaType& t) override {
      return t == s_->type ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetMediaType(int pos, MediaType& t) override {
      if (pos != 0) return VFW_S_NO_MORE_ITEMS;
      t = s_->type;
      return S_OK;
    }
    HRESULT DecideBufferSize(MemAllocator& a, ALLOCATOR_PROPERTIES&) override {
      ALLOCATOR_PROPERTIES got;
      return a.SetProperties({4, static_cast<int32_t>(s_->type.lSampleSize), 16, 0}, got);
    }

   private:
    Source* s_;
  };
};

class PassThrough : public TransInPlaceFilter {
 public:
  PassThrough() : TransInPlaceFilter(kBenchClsid, QStringLiteral("pass"), false) {}
  HRESULT CheckInputType(const MediaType&) override { return S_OK; }
  HRESULT Transform(MediaSample&) override { return S_OK; }
};

std::shared_ptr<IPin> pinAt(const std::shared_ptr<IBaseFilter>& f, size_t i) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all().at(i);
}

void pushLoop(benchmark::State& state, Source& src) {
  for (auto _ : state) {
    std::shared_ptr<MediaSample> s;
    src.out()->GetDeliveryBuffer(s, AM_GBF_NOWAIT);
    s->SetActualDataLength(s->GetSize());
    REFERENCE_TIME t0 = 0, t1 = 1;
    s->SetTime(&t0, &t1);
    benchmark::DoNotOptimize(src.out()->Deliver(s));
  }
  state.counters["samples/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
}  // namespace

static void BM_PassThroughChain(benchmark::State& state) {
  auto g = FilterGraph::create();
  auto src = std::make_shared<Source>(MediaType::rgb24(16, 16, UNITS / 25));
  g->AddFilter(src, "src");
  std::shared_ptr<IPin> out = src->outPin();
  for (int i = 0; i < state.range(0); ++i) {
    auto f = std::make_shared<PassThrough>();
    g->AddFilter(f, "pass");
    g->ConnectDirect(out, pinAt(f, 0), nullptr);
    out = pinAt(f, 1);
  }
  auto sink = NullRenderer::create();
  g->AddFilter(sink, "sink");
  g->ConnectDirect(out, pinAt(sink, 0), nullptr);
  g->Run();
  pushLoop(state, *src);
  g->Stop();
}
BENCHMARK(BM_PassThroughChain)->Arg(1)->Arg(10);

static void BM_TeeTwoBranches(benchmark::State& state) {
  auto g = FilterGraph::create();
  auto src = std::make_shared<Source>(
      MediaType::rgb24(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), UNITS / 25));
  auto tee = std::make_shared<InfTee>();
  auto a = NullRenderer::create(), b = NullRenderer::create();
  g->AddFilter(src, "src");
  g->AddFilter(tee, "tee");
  g->AddFilter(a, "a");
  g->AddFilter(b, "b");
  g->ConnectDirect(src->outPin(), pinAt(tee, 0), nullptr);
  g->ConnectDirect(pinAt(tee, 1), pinAt(a, 0), nullptr);
  g->ConnectDirect(pinAt(tee, 2), pinAt(b, 0), nullptr);
  g->Run();
  pushLoop(state, *src);
  g->Stop();
  // Branches that keep up share the source's buffer: a copy means one fell behind.
  state.counters["frame_copies"] = static_cast<double>(tee->copiedSamples());
  state.counters["dropped"] = static_cast<double>(tee->droppedSamples());
}
BENCHMARK(BM_TeeTwoBranches)->Args({720, 576})->Args({1920, 1080})->UseRealTime()->MeasureProcessCPUTime();

static void BM_Yuy2ToRgb24(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  ColourConversion c;
  if (!c.configure(MEDIASUBTYPE_YUY2, 16, w, h)) {
    state.SkipWithError("configure failed");
    return;
  }
  std::vector<uint8_t> in(c.inputSize(), 0x80), out(c.outputSize());
  for (auto _ : state) benchmark::DoNotOptimize(c.convert(in.data(), in.size(), out.data(), out.size()));
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Yuy2ToRgb24)->Args({720, 576})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
