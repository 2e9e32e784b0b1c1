// Entry point of the benchmarks: the report stream goes to /dev/null, so
// that the routines' own report lines are not part of the measurement.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "numeric/nrerror.h"

int main(int argc, char **argv)
{
    ofp = fopen("/dev/null", "w");
    if (ofp == NULL)
        return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fclose(ofp);
    return 0;
}
