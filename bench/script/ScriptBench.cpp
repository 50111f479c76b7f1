// Speed of compiled scripts on four classic workloads; compare with bench_script.py (CPython).
#include <benchmark/benchmark.h>

#include "BenchPrograms.h"
#include "script/ScriptEngine.h"

namespace {

using vistrel::script::CompileContext;
using vistrel::script::HostCall;
using vistrel::script::ScriptEngine;

void runProgram(benchmark::State& state, const char* source) {
  ScriptEngine engine;
  qint64 checked = 0;
  engine.setCompileHook([&](CompileContext& c) {
    c.declareRoutine(QStringLiteral("procedure Check(v: Int64);"),
                     [&](HostCall& h) { checked = h.integer(0); });
  });
  engine.setScript(QString::fromLatin1(source));
  if (!engine.compile()) {
    state.SkipWithError(engine.messages().value(0).toString().toStdString().c_str());
    return;
  }
  for (auto _ : state) {
    if (!engine.execute()) {
      state.SkipWithError(engine.runtimeErrorMessage().toStdString().c_str());
      return;
    }
    benchmark::DoNotOptimize(checked);
  }
  state.counters["result"] = double(checked);
}

void BM_IntegerLoop(benchmark::State& s) { runProgram(s, vistrel::script::bench::kIntegerLoop); }
void BM_StringBuilding(benchmark::State& s) { runProgram(s, vistrel::script::bench::kStringBuilding); }
void BM_Fibonacci(benchmark::State& s) { runProgram(s, vistrel::script::bench::kFibonacci); }
void BM_ArraySort(benchmark::State& s) { runProgram(s, vistrel::script::bench::kArraySort); }

void BM_Compile(benchmark::State& state) {
  ScriptEngine engine;
  engine.setCompileHook([](CompileContext& c) {
    c.declareRoutine(QStringLiteral("procedure Check(v: Int64);"), [](HostCall&) {});
  });
  engine.setScript(QString::fromLatin1(vistrel::script::bench::kArraySort));
  for (auto _ : state) benchmark::DoNotOptimize(engine.compile());
}

}  // namespace

BENCHMARK(BM_IntegerLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StringBuilding)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fibonacci)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArraySort)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compile)->Unit(benchmark::kMicrosecond);
