// Readers of a model's description: the correlation parameters
// (StochasticProcessModel), the regression model (RegressionModel) and the
// response descriptions (YDescription). A file is checked completely before
// anything is stored: a refused file changes nothing but the validity flags
// that a reader clears on entry.
#ifndef MORLA_READMODEL_H
#define MORLA_READMODEL_H

#include "model/krig.h"

// One row per input variable; a name column and, for every y-variable, a
// "Theta." and an "Alpha." column. Returns 0, 1 (columns), 2 (variable
// order), 4 (unreadable, or a cell that is not a finite number), 5 (rows),
// 10 or 11 (unknown y-variable after Theta or Alpha), 12 (unknown column),
// 13 (an alpha outside [0, 2] or a negative theta).
int read_corpar(KrigModel *kr, KrigArray *ka, const char *filename);

// One row per y-variable: Variable, Term, Coefficients. The first such file
// may fix the number of y-variables (*kr may move). Returns 0, 4 (unreadable,
// too many columns or a cell that is not a number), 7 (rows), 21 (names
// differ from the responses'), 22 (no Variable column; coefficients stored).
int read_beta(KrigModel **kr, KrigArray *ka, const char *filename);

// One row per y-variable: variances, log likelihood, bounds and constraint
// flags. The first such file may fix the number of y-variables (*kr may
// move). Returns 0, 1 (names, or a cell that is not a finite number),
// 2 (rows), 3 (constraint cell), 4 (unreadable), 5 (a negative process
// variance).
int read_ydescrip(KrigModel **kr, KrigArray *ka, const char *filename);

#endif
