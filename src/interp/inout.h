// Object input/output commands: lines "object < file", "object > file" and
// "object > screen" that move the objects of an analysis in and out.
#ifndef MORLA_INOUT_H
#define MORLA_INOUT_H

#include "model/krig.h"

enum {
    ACTION_PRINT = 1,  // to the report, in screen form
    ACTION_OUTPUT = 2, // to a named file, replacing it
    ACTION_READ = 3,   // from a named file into the model records
};

// Checks the form of an object line (object, "<" or ">", file name or
// "screen") and carries it out. The model array may move (reading y or a
// description fixes the number of y-variables), hence its address.
void inout(KrigModel **kr, KrigArray *ka, char **token, int n_token);

// Carries out one action for the named object. ka may be NULL only for
// output and print (the single model *kr then counts as a response set of
// one); a read without a response set is fatal.
void menu_print(KrigModel **kr, KrigArray *ka, int action, const char *object, const char *filename);

#endif
