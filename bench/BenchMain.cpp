// The benchmark program: the module registered first, then every benchmark of bench/.
#include <cstdio>
#include <exception>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    try {
        const CBenchRegisteredModule module;
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumoitems_bench: %s\n", error.what());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
