// The shape of an objective function for the local minimisers: a real
// function of a real vector x of length n. A criterion to be maximised is
// passed negated.
#ifndef MORLA_OBJFUNC_H
#define MORLA_OBJFUNC_H

#include "general.h"

typedef real (*ObjFunc)(real *x, int n);

#endif
