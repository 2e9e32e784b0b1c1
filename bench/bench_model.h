// A model for the benchmarks: runs seeded random points in [0, 1]^inputs with
// a smooth response and moderate correlation parameters, its mean, variance
// and parameters set, ready to predict or cross-validate.
#ifndef MORLA_BENCH_MODEL_H
#define MORLA_BENCH_MODEL_H

#include "model/krigmodel.h"
#include "numeric/unif.h"

inline void setup_bench_model(KrigModel *kr, int runs, int inputs)
{
    NULL_KrigModel(kr);
    init_KrigModel(kr, runs, inputs, 1);
    RandInit(10, 20, 1000);
    for (int i = 0; i < runs; i++) {
        real s = 0.0;
        for (int k = 0; k < inputs; k++) {
            kr->X[i][k] = RandUnif();
            s += (k + 1) * kr->X[i][k] * kr->X[i][k];
        }
        kr->y[i] = s;
    }
    for (int k = 0; k < inputs; k++) {
        kr->alpha[k] = 0.5;
        kr->theta[k] = 2.0;
    }
    kr->var[0] = 1.5;
    kr->beta[0] = 0.0;
    kr->init.X = kr->init.y = kr->init.alpha = kr->init.theta = kr->init.beta = kr->init.var = TRUE;
}

#endif
