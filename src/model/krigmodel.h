// Lifecycle of the model records and the response set: creation, sizing,
// resizing, copying and release.
#ifndef MORLA_KRIGMODEL_H
#define MORLA_KRIGMODEL_H

#include "model/krig.h"

// Sets the twelve array pointers and the six cells of a record to null.
void NULL_KrigModel(KrigModel *kr);
// Sets pvec, cvec and ydescrip to null.
void NULL_KrigArray(KrigArray *ka);

// Allocates every array of a cleared record for n observations, d inputs and
// r regression terms; only the d and n flags are set; stochratio 1, loglike
// NA, ylabel "EMPTY", alpha, theta and beta zero.
void init_KrigModel(KrigModel *kr, int n, int d, int r);
// An empty response set.
void init_KrigArray(KrigArray *ka);
// Sizes the response set for newn y-variables, all of them responses without
// bounds (every row reset, old rows included).
void default_KrigArray(int oldn, KrigArray *ka, int newn);
// Rebuilds p, c, pvec and cvec from the Constraint flags (exactly 1.0 marks a
// constraint).
void adjust_KrigArray(KrigArray *ka);
// Copies the design, its labels and (when valid) the ranges of `from` into
// `to`, which must have the same n and d.
void copy_KrigModel(const KrigModel *from, KrigModel *to);
// Resizes the response set and the model array (which may move) for newn
// y-variables; records added are cleared for the caller to set up. Returns 0.
int change_krig_p(KrigArray *ka, KrigModel **kr, int newn);

// Number of records in the model array: p + c once the response set is
// sized, otherwise the single start-up record.
int model_count(const KrigArray *ka);

void free_KrigModel(KrigModel *kr);
// Releases the response set's arrays (for `count` y-variables) and the record.
void free_KrigArray(KrigArray *ka, int count);
// Releases every model record, the model array and the response set.
void free_Krig_cover(KrigArray *ka, KrigModel *kr);

#endif
