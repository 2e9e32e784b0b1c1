// A model record for the tests of fitting: a design and responses given as
// plain vectors, copied into a record of the tracked allocator, optionally
// placed under fit with its work storage.
#ifndef MORLA_FIT_SUPPORT_H
#define MORLA_FIT_SUPPORT_H

#include "kriging/krigfit.h"
#include "kriging/correlation.h"
#include "likelihood_reference.h"
#include "model/krigmodel.h"

struct DataModel {
    DataModel(const likelihood::Mat &X, const likelihood::Vec &y) : n((int)X.size()), d((int)X[0].size())
    {
        NULL_KrigModel(&kr);
        init_KrigModel(&kr, n, d, 1);
        for (int i = 0; i < n; i++) {
            for (int k = 0; k < d; k++)
                kr.X[i][k] = X[i][k];
            kr.y[i] = y[i];
        }
        kr.init.X = kr.init.y = TRUE;
    }
    ~DataModel() { free_KrigModel(&kr); }
    DataModel(const DataModel &) = delete;
    DataModel &operator=(const DataModel &) = delete;
    int n, d;
    KrigModel kr;
};

// The record placed under fit as the fitting driver places it, with fresh
// counters; the work storage is released at the end of scope.
struct UnderFit : DataModel {
    UnderFit(const likelihood::Mat &X, const likelihood::Vec &y) : DataModel(X, y)
    {
        krfit = kr;
        krfit.init.alpha = krfit.init.theta = TRUE;
        fit_global_alloc();
        kr_calcF(&krfit);
        info_infty = info_infty_warn = 0;
        warnflag = FALSE;
    }
    ~UnderFit() { fit_global_free(); }
    real eval(likelihood::Vec v) { return krigloglike(v.data(), (int)v.size()); }
};

// The parameters that the search variables v stand for (d inputs; entry 2d
// the process share when present).
inline likelihood::Params from_search(const likelihood::Vec &v, int d)
{
    likelihood::Params p;
    for (int k = 0; k < d; k++) {
        p.alpha.push_back(std::sin(v[k]) + 1.0);
        p.theta.push_back(v[d + k] * v[d + k] / 10.0);
    }
    if ((int)v.size() > 2 * d)
        p.stochratio = std::sin(v[2 * d]) / 2.0 + 0.5;
    return p;
}

#endif
