// The records of the model store: one KrigModel per y-variable, the response
// set (KrigArray) and the validity flags of a model's objects (InitStruct).
#ifndef MORLA_KRIG_H
#define MORLA_KRIG_H

#include "general.h"

// Which objects of a model hold valid data; `d` and `n` say that the
// dimension is fixed, so that files read later must agree with it.
typedef struct {
    boolean X;
    boolean y;
    boolean R;
    boolean F;
    boolean beta;
    boolean alpha;
    boolean theta;
    boolean U;
    boolean var;
    boolean range;
    boolean d;
    boolean n;
} InitStruct;

// Everything about one y-variable. Every record owns its storage (its own
// copy of the design, labels and ranges); all records share n, d and r.
typedef struct {
    int *n;             // number of observations (one-element cell)
    int *d;             // number of input variables
    int *r;             // number of regression terms
    real *var;          // process variance (total variance with random error)
    real *stochratio;   // process share of the total variance, in [0, 1]
    real *beta;         // r regression coefficients
    real *alpha;        // d exponents of the correlation function
    real *theta;        // d scale parameters of the correlation function
    real *y;            // n responses
    real *eigval;       // n + r eigenvalues of the augmented matrix
    real *eigvalinv;    // their guarded reciprocals
    real **F;           // n x r regression matrix
    real **X;           // n x d design, one row per observation
    real **R;           // n x n correlation matrix of the design
    real **U;           // (n + r) x (n + r) eigenvectors of the augmented matrix
    real **range;       // d x 2: lower and upper limit of each input
    string *xlabel;     // d input names
    string ylabel;      // this y-variable's name; "EMPTY" before any y file
    InitStruct init;    // validity of the objects above
    real *loglike;      // log likelihood of the fit; NA while not fitted
} KrigModel;

// The response set: how many y-variables there are and which of them are
// responses to be modelled and which are constraints.
typedef struct {
    boolean init;           // number of y-variables fixed
    boolean ydescrip_init;  // bounds and constraint flags read from a YDescription
    int p;                  // number of responses
    int c;                  // number of constraints
    int *pvec;              // model indices of the responses (first p used)
    int *cvec;              // model indices of the constraints (first c used)
    real **ydescrip;        // (p + c) x 3: Min, Max, Constraint flag (1.0 or 0.0)
} KrigArray;

// Columns of a response-set description row.
enum { YDESC_MIN = 0, YDESC_MAX = 1, YDESC_CONSTRAINT = 2 };

#endif
