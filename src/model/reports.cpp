// The database report and the validity checks on a model's objects and on
// the response set.
#include "model/reports.h"

#include <cstdio>
#include <cstring>

#include "model/settings.h"
#include "numeric/nrerror.h"

namespace {

const char *const DASH_LINE = "---------------------------------------------\n";

} // namespace

void database(const KrigModel *kr, const KrigArray *ka)
{
    fprintf(ofp, "%s", DASH_LINE);
    fprintf(ofp, "Database :\n");
    if (kr[0].init.X) {
        fprintf(ofp, "Number of Observations :                %3d\n", kr[0].n[0]);
        fprintf(ofp, "Number of x Variables  :                %3d\n", kr[0].d[0]);
    }
    if (ka != NULL && ka->init) {
        fprintf(ofp, "Number of y Variables  :                %3d\n", ka->p);
        fprintf(ofp, "Number of Constrained y Variables  :    %3d\n", ka->c);
    }
    if (kr[0].r[0] > 1)
        fprintf(ofp, "Number of Regression Terms:             %3d\n", kr[0].r[0]);
    if (RandomError)
        fprintf(ofp, "RandomError:                           TRUE\n");
    else
        fprintf(ofp, "RandomError:                          FALSE\n");
    fprintf(ofp, "Tries:                                  %3d\n", MleTries);
    if (strcmp(MleOptimMethod, "simplex") != 0)
        fprintf(ofp, "MleOptimMethod:             %15s\n", MleOptimMethod);
    if (strcmp(CrossValidateMethod, "auto") != 0)
        fprintf(ofp, "CrossValidateMethod:        %15s\n", CrossValidateMethod);
    fprintf(ofp, "StoppingCriterion:               %10s\n", StopCrit);
    if (MinimizationMleFrequency != 1)
        fprintf(ofp, "MleFrequency:                        %3d\n", MinimizationMleFrequency);
    if (MinimizationMlePerc != 0.0)
        fprintf(ofp, "MlePercentage:                       %3.1e\n", MinimizationMlePerc);
    if (init_MinTarget)
        fprintf(ofp, "MinimizationTarget:                    %4.1e\n", MinTarget);
    if (MaximumSample > 0)
        fprintf(ofp, "MaximumSample:                          %3d\n", MaximumSample);
    fprintf(ofp, "MleMaxObs:\t\t \t       %4d\n", MaxObsForMle);
    if (GlobalEiParam != 1)
        fprintf(ofp, "GlobalExpectedImprovement:              %3d\n", GlobalEiParam);
    if (strcmp(StopCrit, "tolerance") == 0) {
        fprintf(ofp, "StoppingAbsoluteTolerance:          %3.1e\n", StopTolAbs);
        fprintf(ofp, "StoppingRelativeTolerance:          %3.1e\n", StopTolRel);
    }
    if (strcmp(StopCrit, "quantile") == 0) {
        fprintf(ofp, "GridSize:                               %3d\n", GridSize);
        fprintf(ofp, "StoppingQuantile:                   %3.1e\n", StopCritPerc);
    }
    if (strcmp(CriterionOptimStart, "distanceneighbour") != 0)
        fprintf(ofp, "CriterionOptimStart:         %15s\n", CriterionOptimStart);
    if (strcmp(CriterionOptimMethod, "simplex") != 0)
        fprintf(ofp, "CriterionOptimMethod:       %15s\n", CriterionOptimMethod);
    if (strcmp(EffectType, "slice") != 0)
        fprintf(ofp, "EffectType:                 %15s\n", EffectType);
    // The default (-1) and the value the first criterion maximisation stores
    // in its place (twice the observations) are not the user's choice.
    if (CriterionOptimTries != -1 && CriterionOptimTries != 2 * kr[0].n[0])
        fprintf(ofp, "CriterionOptimTries:                    %3d\n", CriterionOptimTries);
    if (init_FuncName && !SystemCommandFunction)
        fprintf(ofp, "ObjectiveFunction:      %15s\n", FuncName);
    if (init_FuncName && SystemCommandFunction)
        fprintf(ofp, "SystemCommandObjectiveFunction:\n\t%15s\n", FuncName);
    fprintf(ofp, "%s", DASH_LINE);
}

boolean initialized_check(const InitStruct *init, const char *name, char *display)
{
    snprintf(display, STRING_LEN, "%s", name);
    if (strcmp(name, "X") == 0)
        return init->X;
    if (strcmp(name, "y") == 0)
        return init->y;
    if (strcmp(name, "R") == 0) {
        snprintf(display, STRING_LEN, "Correlation Matrix");
        return init->R;
    }
    if (strcmp(name, "F") == 0)
        return init->F;
    if (strcmp(name, "beta") == 0) {
        snprintf(display, STRING_LEN, "Regression Matrix");
        return init->beta;
    }
    if (strcmp(name, "alpha") == 0)
        return init->alpha;
    if (strcmp(name, "theta") == 0)
        return init->theta;
    if (strcmp(name, "U") == 0)
        return init->U;
    if (strcmp(name, "range") == 0) {
        snprintf(display, STRING_LEN, "Range for X");
        return init->range;
    }
    if (strcmp(name, "var") == 0) {
        snprintf(display, STRING_LEN, "Stochastic Process Variance");
        return init->var;
    }
    if (strcmp(name, "FuncName") == 0) {
        snprintf(display, STRING_LEN, "Objective Function");
        return init_FuncName;
    }
    fprintf(ofp, "%s\n", name);
    nrerror("initialized_check code bug. Unrecognized option.");
}

boolean initialized(const InitStruct *init, const char *n1, const char *n2, const char *n3, const char *n4,
                    const char *n5, boolean report)
{
    const char *names[] = {n1, n2, n3, n4, n5};
    boolean valid = TRUE;
    for (const char *name : names) {
        if (name == NULL)
            continue;
        string display;
        if (!initialized_check(init, name, display)) {
            valid = FALSE;
            if (report)
                refuse("Sorry, can't do that. %s is not initialized.\n", display);
        }
    }
    return valid;
}

boolean initialized(const KrigArray *ka)
{
    if (ka != NULL && ka->p > 0)
        return TRUE;
    refuse("Sorry, there are no response variables.\n");
    return FALSE;
}

boolean warn_missing_response(const KrigModel *kr)
{
    if (!kr->init.y)
        return FALSE;
    for (int i = 0; i < kr->n[0]; i++) {
        if (kr->y[i] != NA_VALUE)
            continue;
        char text[120];
        snprintf(text, sizeof text, "Model %s: the response of run %d is missing (NA) and is used as -1e14.",
                 kr->ylabel, i + 1);
        nrwarning(text);
        return TRUE;
    }
    return FALSE;
}
