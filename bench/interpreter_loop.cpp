// Script lines per second of the interpreter, and the variable store's
// growth with many array elements (linear, not quadratic).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "interpreter/null_host.h"
#include "interpreter/skript.h"

namespace {

long RunLines(std::vector<std::string> lines)
{
    NullHost host;
    Skript run(true, host, &lines);
    run.Resume();
    run.WaitFor();
    return run.errLine;
}

// for i = 1 to N / x = x + i / next: two lines run per iteration.
void BM_ForLoop(benchmark::State& state)
{
    const long n = state.range(0);
    std::vector<std::string> lines = {"for i = 1 to " + std::to_string(n), "x = x + i", "next"};
    for (auto _ : state)
        benchmark::DoNotOptimize(RunLines(lines));
    state.counters["lines/s"] = benchmark::Counter(double(2 * n) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ForLoop)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Fills N array elements and reads them all back.
void BM_ArrayFillRead(benchmark::State& state)
{
    const long n = state.range(0);
    std::vector<std::string> lines = {
        "for i = 1 to " + std::to_string(n), "a[i] = i", "next",
        "for i = 1 to " + std::to_string(n), "s = s + a[i]", "next",
    };
    for (auto _ : state)
        benchmark::DoNotOptimize(RunLines(lines));
    state.counters["elements/s"] = benchmark::Counter(double(n) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ArrayFillRead)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
