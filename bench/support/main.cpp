// The benchmarks' main. glibc's heap adjusts its thresholds to what a process has freed before, so
// the cost of a benchmark that allocates and frees megabytes (page faults on every round, or none)
// would depend on which benchmarks ran before it and on whether it runs alone. Fixed thresholds
// make every benchmark, library and raw alike, run on a heap that keeps its pages.
#include <benchmark/benchmark.h>

#include <malloc.h>

int main(int argc, char** argv) {
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
