// Reports on the state of the program and the validity checks that commands
// run before they touch an object: the database report (sizes of the loaded
// data and the options in force) and the "is this object loaded" tests on a
// model's flags and on the response set.
#ifndef MORLA_REPORTS_H
#define MORLA_REPORTS_H

#include "general.h"
#include "model/krig.h"

// Writes the database report to `ofp`: between two lines of 45 dashes, the
// number of observations and inputs (when the first model's design is
// loaded), of y-variables and constraints (when the response set is sized),
// of regression terms (when above 1), and the options; options at their
// defaults are left out, except RandomError, Tries, StoppingCriterion,
// MleMaxObs and the criterion's tolerances or quantile. ka may be NULL
// (treated as a response set not yet sized).
void database(const KrigModel *kr, const KrigArray *ka);

// The flag of the object `name` ("X", "y", "R", "F", "beta", "alpha",
// "theta", "U", "range", "var", or "FuncName" for the objective-function
// option) and its display name, written into `display` (at least STRING_LEN
// bytes). Any other name is fatal.
boolean initialized_check(const InitStruct *init, const char *name, char *display);

// TRUE when every named object is valid; NULL names are skipped. With
// `report`, each invalid object is reported on `ofp` with
// "Sorry, can't do that. %s is not initialized.\n" and its display name.
boolean initialized(const InitStruct *init, const char *n1, const char *n2, const char *n3, const char *n4,
                    const char *n5, boolean report);

// TRUE when the response set holds at least one response (p > 0); otherwise
// writes "Sorry, there are no response variables.\n" and returns FALSE.
boolean initialized(const KrigArray *ka);

// Responses read as NA are used as the number -1e14 (the minimisation relies
// on missing constraint values). For a model whose responses are loaded and
// hold the missing value, writes through `nrwarning`
// "Model %s: the response of run %d is missing (NA) and is used as -1e14."
// with the model's y label and the first such run (counted from 1), and
// returns TRUE; otherwise writes nothing and returns FALSE.
boolean warn_missing_response(const KrigModel *kr);

#endif
