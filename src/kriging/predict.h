// Prediction at new points: the predictor on a design held apart from the
// model (for reduced or foreign designs), and the Predict command, which
// writes predictions and standard errors of every y-variable at the points
// of an input file.
#ifndef MORLA_PREDICT_H
#define MORLA_PREDICT_H

#include "model/krig.h"

// Prepares the design anyX (an x ad) with the correlation parameters of
// `kr`: its correlation and regression matrices and the decomposition of
// their augmented matrix. Only one design can be prepared at a time. FALSE
// (after the (T6) warning) when the augmented matrix cannot be decomposed:
// the design is prepared all the same, its predictions and standard errors
// are then the missing value, and it is released as usual.
boolean init_krigblup_anyXY(KrigModel *kr, real **anyX, int an, int ad, int r);
// init_krigblup_anyXY taking the decomposition from the model `decomposed`
// where its correlation and regression matrices are bit for bit those of
// the design (reuse_augmR: the same numbers and warnings); the caller vouches
// that its decomposition is current. NULL: init_krigblup_anyXY.
boolean init_krigblup_anyXY_reusing(KrigModel *kr, const KrigModel *decomposed, real **anyX, int an, int ad, int r);
// Predicts at the npred rows of xpred from the prepared design anyX with
// responses anyY; ypred[i][0] the prediction, ypred[i][1] the standard error.
void krigblup_anyXY(KrigModel *kr, real **anyX, const real *anyY, int an, int ad, int npred, real **xpred,
                    real **ypred);
// The standard error alone at the point x (d reals) from the prepared design:
// it does not depend on the responses. Bit for bit the standard error of
// krigblup_anyXY at the same point (the missing value where that is).
real krigse_anyXY(KrigModel *kr, real **anyX, int an, int ad, const real *x);
// The same when the correlations of x with the first n_known rows of anyX
// are known (known_r, as calcr gives them with the parameters of kr); bit for
// bit krigse_anyXY.
real krigse_anyXY_known(KrigModel *kr, real **anyX, int an, int ad, const real *x, const real *known_r,
                        int n_known);
// Releases the prepared design.
void free_krigblup_anyXY(int an, int r);
// Forgets a prepared design without releasing it: for a run that starts
// afresh within the same process after a fatal error ended the previous one
// (the fuzzing harness, which releases that run's blocks itself).
void forget_krigblup_anyXY();

// Parses the tokens of a Predict line (the command word included) into the
// input and output file names (buffers of at least 150 bytes). Returns 0, or
// 1 on a usage error or an input from the screen.
int token_predict(char **token, int n_token, char *infile, char *outfile);
// The Predict command: predictions of every y-variable at the points of
// inputfile, written to outputfile (or the screen).
void krigpredict(KrigModel *kr, KrigArray *ka, const char *inputfile, const char *outputfile);
// Handler of the command loop.
void init_predict(KrigModel *kr, KrigArray *ka, char **token, int n_token);

#endif
