// Up-front size checks of the analysis commands: a command whose matrices of
// the order of the design would not fit the machine's memory is refused
// before it allocates anything, instead of running out of memory halfway.
#ifndef MORLA_SIZEGUARD_H
#define MORLA_SIZEGUARD_H

#include "general.h"

// Bytes that `command` (a command word of the command loop) needs at its
// peak for a design of n runs and d inputs with `models` response and
// constraint models, counted in matrices of order n + 1 (and, for the
// gradient fit, its tables of pairwise distances). 0 for a command that
// holds no such matrix.
real command_peak_bytes(const char *command, int n, int d, int models);

// Largest design that the gradient fit can tabulate: its tables hold the d
// distances of every pair of runs, at most INT_MAX - 1 numbers.
int gradient_fit_max_runs(int d);

// TRUE when `command` can run on a design of n runs, d inputs and `models`
// models on this machine. Otherwise prints a "Sorry, command ignored. ..."
// line naming the command and the size, marks the command refused, and
// returns FALSE.
boolean command_fits(const char *command, int n, int d, int models);

#endif
