// kvxbench: the single benchmark binary. Each bench_<subsystem>.cpp registers
// its benchmarks; ratios against a baseline are reported as the counter "ratio".
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
