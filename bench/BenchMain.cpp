// The benchmark program: the module registered first, then every benchmark of bench/, or with
// --goals the table of the document goals (Goals.h).
#include <cstdio>
#include <cstring>
#include <exception>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "Goals.h"

int main(int argc, char** argv)
{
    const bool goals = argc == 2 && std::strcmp(argv[1], "--goals") == 0;
    const bool memoryCase = argc == 5 && std::strcmp(argv[1], "--memory-case") == 0;
    if (!goals && !memoryCase) {
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv))
            return 1;
    }
    try {
        const CBenchRegisteredModule module;
        if (goals)
            return RunGoals();
        if (memoryCase)
            return RunMemoryCase(argv[2], argv[3], argv[4]);
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumoitems_bench: %s\n", error.what());
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
