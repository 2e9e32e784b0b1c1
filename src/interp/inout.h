// Object input/output commands: lines "object < file", "object > file" and
// "object > screen" that move the objects of an analysis in and out.
#ifndef MORLA_INOUT_H
#define MORLA_INOUT_H

#include "matfile/objects.h"
#include "model/krig.h"

// Checks the form of an object line (object, "<" or ">", file name or
// "screen") and carries it out. The model array may move (reading y or a
// description fixes the number of y-variables), hence its address.
void inout(KrigModel **kr, KrigArray *ka, char **token, int n_token);

#endif
