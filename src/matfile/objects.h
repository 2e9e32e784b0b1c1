// The objects of an analysis (design, responses, ranges, regression and
// correlation parameters, descriptions, derived matrices) moved in and out:
// read from a file into the model records, written to a file, or shown on
// the report.
#ifndef MORLA_OBJECTS_H
#define MORLA_OBJECTS_H

#include "model/krig.h"

enum {
    ACTION_PRINT = 1,  // to the report, in screen form
    ACTION_OUTPUT = 2, // to a named file, replacing it
    ACTION_READ = 3,   // from a named file into the model records
};

// Carries out one action for the named object. ka may be NULL only for
// output and print (the single model *kr then counts as a response set of
// one); a read without a response set is fatal.
void menu_print(KrigModel **kr, KrigArray *ka, int action, const char *object, const char *filename);

#endif
