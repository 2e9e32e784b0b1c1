// Main and joint effects of the inputs: the prediction of a model, with its
// standard error, along an equidistant grid of GridSize levels of one input
// (or over a grid of a pair of inputs) while every other input stays at the
// middle of its range. With EffectType "integrated" the prediction is
// instead averaged over the other inputs (uniform over their ranges), at the
// same levels and in the same layout; the file's comment line then says
// "(integrated)" and the screen shows the averaged inputs as NA.
#ifndef MORLA_KRIGEFFECT_H
#define MORLA_KRIGEFFECT_H

#include "model/krig.h"

// Main effects of one model: d x GridSize rows, input i stepped over its
// range in rows i*G .. i*G + G - 1. Written to the report when outfile is
// "screen" or "s" (the input labels, then every row: the d inputs, the
// effect and its standard error), otherwise as a text matrix file with the
// columns Term, Value, Effect, StandardError; mode 'w' creates the file, 'a'
// appends to it. A model that lacks a fitted part is reported and skipped.
void MainEffects(KrigModel *kr, const char *outfile, char mode);

// Joint effects of one model: for every pair of inputs j < k (j outer, k
// inner) GridSize x GridSize rows over the two ranges, input k changing
// fastest. The file columns are Term1 Term2 (the two input names), Value1,
// Value2, Effect, StandardError. A model with a single input has no pairs:
// it is reported and skipped.
void JointEffects(KrigModel *kr, const char *outfile, char mode);

// Handlers of the command lines "MainEffects > target" and
// "JointEffects > target": the effects of every response and constraint in
// model order, the first creating the file and the others appending to it.
void init_MainEffects(KrigModel *kr, KrigArray *ka, char **token, int n_token);
void init_JointEffects(KrigModel *kr, KrigArray *ka, char **token, int n_token);

#endif
