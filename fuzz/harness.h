// Shared harness of the fuzzing targets.
//
// Every input is one run: a function called through `guarded_run`. A fatal
// error that ends the program (nrerror, the writers' exit) is an orderly
// outcome: in this build exit() returns to `guarded_run`, which releases the
// memory and closes the files that the run left behind, as the end of the
// process would. A fatal error that reports broken bookkeeping (the
// allocation registries, "Code Bug") aborts: it is a defect.
//
// The harness works in a scratch directory of valid input files; file names
// with a '/' are refused (a run may only touch that directory), no child
// process can be started, and files a run writes are removed or restored
// after it.
#ifndef MORLA_FUZZ_HARNESS_H
#define MORLA_FUZZ_HARNESS_H

#include <cstddef>
#include <cstdint>

#include <cstdio>

#include "model/krig.h"

// What the program's code calls in place of malloc, fopen and fclose in this
// build:
// what a run obtains through them is released if a fatal error ends it.
extern "C" void *morla_fuzz_malloc(size_t size);
extern "C" FILE *morla_fuzz_fopen(const char *name, const char *mode);
extern "C" int morla_fuzz_fclose(FILE *fp);

// Once per process: the scratch directory (made current) with its valid
// files, and the report stream to /dev/null.
void harness_init();

// Runs fn(arg); returns 0, or the exit status of a fatal error.
int guarded_run(void (*fn)(void *), void *arg);

// Writes the bytes to `name` in the scratch directory.
void write_input(const char *name, const uint8_t *data, size_t size);

// A fresh store (start-up record and empty response set) in the given
// allocation mode, loaded with the valid files up to `level`: 0 nothing,
// 1 the design, 2 and the two responses, 3 and ranges and every description.
// Run inside guarded_run; release with free_store (same mode).
void make_store(KrigModel **kr, KrigArray **ka, int level, int speed);
void free_store(KrigModel *kr, KrigArray *ka);

#endif
