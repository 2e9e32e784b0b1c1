// Leave-one-out cross-validation of the response models: every point of a
// data set predicted from all the other points with the model's own
// correlation parameters and variance, with the expected improvement of that
// prediction over the model's best response; and the CrossValidate command,
// which writes three columns per y-variable.
#ifndef MORLA_CROSSVAL_H
#define MORLA_CROSSVAL_H

#include "model/krig.h"

// Cross-validates model `kr` on the data set anyX (an x ad), anyY (an): row i
// of cvmat (an rows used, col_cvmat = 3 columns) receives the prediction at
// anyX[i] from the other an - 1 points (column 0), its standard error
// (column 1) and its expected improvement over the minimum of the model's own
// n responses (column 2, `cvei`). Nothing is refitted. A model without
// alpha, theta, beta or a variance (reported on `ofp`) gets NA in the three
// columns. an < 2 is fatal (callers refuse such data sets).
//
// How: by the option CrossValidateMethod (cv_closed_form_wanted), either one
// reduced design per left-out run, decomposed on its own (O(an^4)), or the
// closed form from one factorisation of the whole data set's correlation
// matrix (krigcv_closed, O(an^3)), which agrees with it up to rounding. Where
// the closed form does not apply the reduced designs are used after an
// information line naming the model and the reason.
void krigcv_anyXY(KrigModel *kr, real **anyX, const real *anyY, int an, int ad, real **cvmat, int col_cvmat);

// Data sets up to this many runs are cross-validated one reduced design at a
// time under CrossValidateMethod "auto" (the results of every earlier
// version, to the last bit); larger ones by the closed form.
const int CV_AUTO_DIRECT_RUNS = 200;

// TRUE when CrossValidateMethod asks for the closed form on a data set of an
// runs: "closed" always, "auto" above CV_AUTO_DIRECT_RUNS, "direct" never;
// never for a model with more than one regression term (the per-run
// computation refuses it).
boolean cv_closed_form_wanted(const KrigModel *kr, int an);

// Expected improvement of the first n rows of `matrix` (prediction mu in
// column 0, standard error s in column 1) over ymin, into column 2:
//   EI = s (z Phi(z) + phi(z)),  z = (ymin - mu) / s,  and EI = 0 for s = 0.
// d, the column count, is not otherwise used.
void cvei(real **matrix, int n, int d, real ymin);

// Reads a data set: the design from xfile (d columns; its names are not
// compared) and one response column of as many rows from yfile. On success
// returns 0 with *ptr_anyX (an x d) and *ptr_anyyvec (an) allocated for the
// caller and *ptr_anyn = an; on failure returns 1 with nothing allocated,
// after the reader's message or one of "ERROR: Incorrect number of columns",
// "ERROR: Incorrect number of rows", "ERROR: More than one y is not yet
// programmed " on `ofp`.
int read_anyXY(const char *xfile, const char *yfile, int *ptr_anyn, int d, real ***ptr_anyX, real **ptr_anyyvec);

// The data set and the output name (into outputfile, 150 bytes) of a checked
// CrossValidate line: "> out" copies the design and responses of kr (the
// caller takes each further model's own); "< xfile yfile > out" and
// "> out < xfile yfile" read the pair. Returns 0 with *ptr_anyX (an x d) and
// *ptr_anyy (an) allocated, or 1 with nothing allocated after a message on
// `ofp`: an output naming an input file, more rows than the model has, or
// fewer than two rows.
int get_anyXY(int n_token, char **token, char *outputfile, int *ptr_anyn, KrigModel *kr, real ***ptr_anyX,
              real **ptr_anyy);

// The CrossValidate command (also "cv"): checks the line and the first model,
// prints the database report, cross-validates every y-variable in model order
// and writes the an x 3(p + c) "CrossValidationMatrix" with the columns
// CvPred, CvSe and CvEi of each y-variable (suffixed with its name) to the
// output file or the screen.
void init_krigcv(KrigModel *kr, KrigArray *ka, char **token, int n_token);

#endif
