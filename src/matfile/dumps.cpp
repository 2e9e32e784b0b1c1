// Emergency and temporary dumps of one model's objects.
#include "matfile/dumps.h"

#include <cstdio>
#include <cstdlib>

#include "matfile/objects.h"
#include "matfile/writemat.h"
#include "numeric/nrerror.h"

namespace {

// The five objects in the order they are written, with the file suffixes.
const char *const dump_objects[5][2] = {
    {"X", "x"},
    {"y", "y"},
    {"RegressionModel", "beta"},
    {"StochasticProcessModel", "corpar"},
    {"yDescription", "ydescrip"},
};

void dump(KrigModel *kr, const char *prefix)
{
    KrigModel *array = kr;
    for (const auto &object : dump_objects) {
        char filename[64];
        snprintf(filename, sizeof filename, "%s_%s.mat", prefix, object[1]);
        menu_print(&array, NULL, ACTION_OUTPUT, object[0], filename);
    }
}

} // namespace

void output_error(KrigModel *kr, const char *text)
{
    fprintf(stderr, "Brix's runtime errors ... \n");
    fprintf(stderr, "%s \n", text);
    fprintf(stderr, "Emergency output of X,y,RegressionModel,StochasticProcessModeland yDescription\n");
    // A file the failed command was writing never appears half-written.
    abandon_output();
    dump(kr, "error");
    fprintf(stderr, "Now exiting to system ... \n ");
    exit(1);
}

void output_temp(KrigModel *kr)
{
    nrinfo("Output of matrices in temp files: \n\tX,y,RegressionModel,StochasticProcessModel,yDescription");
    dump(kr, "temp");
}
