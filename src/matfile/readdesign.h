// Readers of the design (X), the responses (y) and the input ranges
// (XDescription): each checks a matrix file against what the model store
// already holds and loads it into the model records.
#ifndef MORLA_READDESIGN_H
#define MORLA_READDESIGN_H

#include "model/krig.h"

// 1 when the last range test found a design point outside its input range.
extern int PtsOutOfRange;

// Reads the design into every model record (the first record alone while no
// response set exists). A design with another number of runs or inputs
// reshapes every record; responses and correlation parameters that no longer
// fit the new shape become invalid. Returns 0, or 10 when the file was
// refused (nothing changed).
int read_x(KrigModel *kr, KrigArray *ka, const char *filename);

// Reads the responses, one column per y-variable; the first read fixes the
// number of y-variables and grows the model array (*kr may move). Returns
// 0, 4 (unreadable), 6 (row count), 7 (column count) or 9 (names).
int read_y(KrigModel **kr, KrigArray *ka, const char *filename);

// Reads the input ranges (columns Variable, Min, Max, NumberLevels). Returns
// 0, 1 (variable order or a value that is not a number) or 4 (unreadable or
// wrong row count).
int read_xdescrip(KrigModel *kr, KrigArray *ka, const char *filename);

#endif
