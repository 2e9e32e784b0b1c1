// Labels and description tables built from the model array and the response
// set: the gathered response matrix with its label line, the correlation-
// parameter, regression and response-description tables, the "base.name"
// labels of multi-response output, and two checks on the data (design inside
// its ranges, responses inside their constraint bounds).
//
// Tables are string matrices (30-byte cells) with a separate vector of
// column names. Every cell is written with a bounded write and never
// overflows. A label "prefix + name" that does not fit a cell keeps the
// prefix and the start of the name and ends in "~k", k the y-variable's
// position counted from 1, so shortened labels of one table stay distinct.
// A number whose "%f" text does not fit is written in exponent form
// ("%.15e") instead of being cut off.
#ifndef MORLA_LABELS_H
#define MORLA_LABELS_H

#include "general.h"
#include "model/krig.h"

// Gathers the responses of all p + c y-variables into ymat (n x (p + c), n of
// the first model): ymat[i][j] = kr[j].y[i]. Builds in `label` the names of
// the y-variables in model order, each followed by five blanks. Returns 1 as
// soon as the next name and its blanks would not fit maxlabel - 1
// characters (the line then holds the names that fitted), else 0. A null
// response set is fatal.
int construct_ymat(const KrigModel *kr, const KrigArray *ka, real **ymat, char *label, int maxlabel);

// Fills the correlation-parameter table. m = p + c for a sized response set,
// otherwise 1 (ka may be NULL: the single model kr[0]). cormat is d x (2m + 1)
// (d of the first model), names has 2m + 1 cells: "Variable", then
// "Theta.<name>" and "Alpha.<name>" per y-variable. Row i: the input's name,
// then theta[i] and alpha[i] of each model with "%f", or "NA" for a model
// whose parameters are not valid.
void construct_cormat(const KrigModel *kr, const KrigArray *ka, string **cormat, string *names);

// Builds the regression table (rows: p + c for a sized response set, else 1;
// columns "Variable", "Term", "Coefficients"): the y-variable's name, "1",
// beta[0] with "%f" or "NA" while beta is not valid. Allocates *table
// (*nrow x *ncol) and *names (*ncol) for the caller to release. Returns 0 when
// built, 1 (nothing allocated) when there are no rows or no y file has been
// read (first model named "EMPTY").
int construct_beta(const KrigArray *ka, const KrigModel *kr, string ***table, string **names, int *nrow,
                   int *ncol);

// Builds the response-description table: rows as construct_beta; columns
// "Variable" and, each only when it applies, "LogLikelihood",
// "StochasticProcessVariance", "ErrorVariance", "NumberObs", "Min", "Max",
// "Constraint". Allocates *table and *names like construct_beta. Returns 0
// when built, 1 (nothing allocated) when there is nothing to show, 2 (nothing
// allocated) when no column applies. A Constraint flag other than 0.0 or 1.0
// is fatal.
int construct_ydescrip(const KrigArray *ka, const KrigModel *kr, string ***table, string **names, int *nrow,
                       int *ncol);

// labels has m * k cells whose first k hold base names. Afterwards cell i
// holds "<base i mod k>.<name of model i div k>".
void label_suffix(const KrigModel *kr, int m, int k, string *labels);

// Copies the names of the p + c y-variables, in model order, into labels
// (p + c cells). A null response set is fatal.
void assemble_ylab(const KrigArray *ka, const KrigModel *kr, string *labels);

// 1 if some design value X[i][k] lies below range[k][0] or above range[k][1]
// (the limits themselves are inside), else 0. X is n x d, range d x 2.
int test_X_in_range(int n, int d, real **X, real **range);

// For every row of y (n x m) and every y-variable j whose Constraint flag
// ydescrip[j][2] is exactly 1.0: 1 if the value is below a lower bound that
// is not NA, or above an upper bound that is not NA. 0 when no bound is
// broken. An NA value in a constrained column is fatal.
int check_constraints(int n, int m, real **y, real **ydescrip);

#endif
