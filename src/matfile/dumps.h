// Emergency and temporary dumps: the objects of one response model saved to
// files in the working directory, before a numerical failure ends the run or
// during long minimisations.
#ifndef MORLA_DUMPS_H
#define MORLA_DUMPS_H

#include "model/krig.h"

// Writes "error_x.mat", "error_y.mat", "error_beta.mat", "error_corpar.mat"
// and "error_ydescrip.mat" for the model (objects not loaded are skipped with
// their message), reports `text` on standard error and ends the process with
// exit status 1.
[[noreturn]] void output_error(KrigModel *kr, const char *text);

// Writes the same five objects to the "temp_" files, replacing earlier ones.
void output_temp(KrigModel *kr);

#endif
