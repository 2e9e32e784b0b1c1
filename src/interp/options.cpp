// Option lines: the handlers that set the option settings.
#include "interp/options.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "numeric/matrix.h"
#include "numeric/nrerror.h"
#include "numeric/unif.h"

namespace {

// The leading decimal integer of the text (0 when there is none, or when it
// does not fit an int, so that it is rejected rather than wrapped).
int leading_int(const char *text)
{
    errno = 0;
    long v = strtol(text, NULL, 10);
    if (errno == ERANGE || v > INT_MAX || v < INT_MIN)
        return 0;
    return (int)v;
}

// Scans one decimal integer; FALSE when there is none or it does not fit.
boolean scan_int(const char *text, int *value)
{
    char *end;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (end == text || errno == ERANGE || v > INT_MAX || v < INT_MIN)
        return FALSE;
    *value = (int)v;
    return TRUE;
}

// The leading decimal number of the text in single precision (0 when none).
float leading_float(const char *text)
{
    return (float)atof(text);
}

boolean one_of(const char *word, const char *const *words)
{
    for (; *words != NULL; words++)
        if (strcmp(word, *words) == 0)
            return TRUE;
    return FALSE;
}

void set_positive_int(const char *value, int *target, const char *rejected)
{
    int v = leading_int(value);
    if (v > 0)
        *target = v;
    else
        refuse("%s", rejected);
}

void set_nonnegative_int(const char *value, int *target, const char *rejected)
{
    int v;
    if (scan_int(value, &v) && v >= 0)
        *target = v;
    else
        refuse("%s", rejected);
}

// Seeds k, 2k and 100k must all lie in the generator's range 1 .. 30000.
const int MAX_RANDOM_SEED = 300;

void set_random_seed(const char *value)
{
    int k = leading_int(value);
    if (k <= 0) {
        refuse("Sorry, command ignored. RandomSeed>0, integer value .\n");
        return;
    }
    if (k > MAX_RANDOM_SEED) {
        refuse("Sorry, command ignored. RandomSeed<=%d, integer value .\n", MAX_RANDOM_SEED);
        return;
    }
    RandInit(k, 2 * k, 100 * k);
    fprintf(ofp, "RandomSeed = %d\n", k);
}

void set_random_error(const char *value)
{
    static const char *const true_words[] = {"TRUE", "true", "True", NULL};
    static const char *const false_words[] = {"false", "FALSE", "False", NULL};
    if (one_of(value, true_words)) {
        RandomError = TRUE;
    } else if (one_of(value, false_words)) {
        if (RandomError)
            refuse("Error: Database indicates that RandomError == TRUE. Read "
                   "Ydescription without \n\t RandomError if no RandomError is desired.\n");
        else
            RandomError = FALSE;
    } else {
        refuse("Sorry, only 'FALSE' and 'TRUE' are valid options. Default remains.\n");
    }
}

} // namespace

void equal_init(KrigModel *kr, char **token, int n_token)
{
    (void)kr;
    boolean bad_form = FALSE;
    if (n_token >= 2 && strcmp(token[1], "=") != 0) {
        refuse("Unexpected input. A '=' sign was expected. Input line ignored.\n");
        bad_form = TRUE;
    }
    if (n_token != 3) {
        refuse("Unexpected input. Only 3 tokens were expected. (excluding comments '#')\n"
                     "\tInput line ignored.\n");
        bad_form = TRUE;
    }
    if (bad_form)
        return;

    const char *key = token[0];
    const char *value = token[2];
    if (strcmp(key, "Tries") == 0) {
        int v = leading_int(value);
        if (v > 0) {
            MleTries = v;
            fprintf(ofp, "Tries = %d\n", MleTries);
        } else {
            refuse("Sorry, command ignored. Tries>0, integer.\n");
        }
    } else if (strcmp(key, "ObjectiveFunction") == 0) {
        snprintf(FuncName, sizeof FuncName, "%s", value);
        init_FuncName = TRUE;
        SystemCommandFunction = FALSE;
        fprintf(ofp, "ObjectiveFunction = %s\n", FuncName);
    } else if (strcmp(key, "RandomSeed") == 0) {
        set_random_seed(value);
    } else if (strcmp(key, "MinimumSample") == 0) {
        set_positive_int(value, &MinSample, "Sorry, command ignored. MinimumSample>0, integer .\n");
    } else if (strcmp(key, "MaximumSample") == 0) {
        set_positive_int(value, &MaximumSample, "Sorry, command ignored. MaximumSample>0, integer .\n");
    } else if (strcmp(key, "GridSize") == 0) {
        set_positive_int(value, &GridSize, "Sorry, command ignored. GridSize>0 , integer.\n");
    } else if (strcmp(key, "MleFrequency") == 0) {
        set_positive_int(value, &MinimizationMleFrequency,
                         "Sorry, command ignored. MinimizationMleFrequency>0,integer.\n");
    } else if (strcmp(key, "MleMaxObs") == 0) {
        set_positive_int(value, &MaxObsForMle, "Sorry, command ignored. MaxObsForMle>0,integer .\n");
    } else if (strcmp(key, "MlePercentage") == 0) {
        float v = leading_float(value);
        if (v > 0.0f && v <= 1.0f)
            MinimizationMlePerc = v;
        else
            refuse("Sorry, command ignored.  0.0< MinimizationMlePercentage <=1.0\n");
    } else if (strcmp(key, "MinimizationTarget") == 0) {
        // "nan", "inf" and values beyond single precision are not a target.
        float v;
        if (sscanf(value, "%f", &v) == 1 && std::isfinite(v)) {
            MinTarget = v;
            init_MinTarget = TRUE;
        } else {
            refuse("Sorry, command ignored.  MinTarget must be a real number.\n");
        }
    } else if (strcmp(key, "GlobalExpectedImprovement") == 0) {
        set_nonnegative_int(value, &GlobalEiParam,
                            "Sorry, command ignored. GlobalExpextedImprovement>=0, integer.\n");
    } else if (strcmp(key, "CriterionOptimTries") == 0) {
        set_nonnegative_int(value, &CriterionOptimTries,
                            "Sorry, command ignored. CriterionOptimTries>=0, integer.\n");
    } else if (strcmp(key, "StoppingAbsoluteTolerance") == 0) {
        float v = leading_float(value);
        if (v == 0.0f || !std::isfinite(v))
            refuse("Sorry, command ignored. Not a valid real number.\n");
        else if (v <= OptTolAbs)
            refuse("Sorry, can't do so. You are attempting to set OptTolAbs >= StopTolAbs\n");
        else
            StopTolAbs = v;
    } else if (strcmp(key, "StoppingRelativeTolerance") == 0) {
        float v = leading_float(value);
        if (v > 0.0f && v < 1.0f)
            StopTolRel = v;
        else
            refuse("Sorry, command ignored.  0.0< StoppingRelativeTolerance <1.0\n");
    } else if (strcmp(key, "StoppingQuantile") == 0) {
        fprintf(ofp, "Option StoppingQuantile is depreciated. Use \n");
        fprintf(ofp, " default option (Tolerance) .\n");
    } else if (strcmp(key, "StoppingCriterion") == 0) {
        // The quantile criterion (also called "order") has been withdrawn:
        // a run set to it would end after its first pass.
        if (strcmp(value, "quantile") == 0 || strcmp(value, "order") == 0)
            refuse("Sorry, command ignored. The '%s' criterion is no longer available; "
                   "'tolerance' is the only valid option.\n", value);
        else if (strcmp(value, "tolerance") == 0)
            strcpy(StopCrit, "tolerance");
        else
            refuse("Sorry, only 'tolerance' is a valid option. Default remains.\n");
    } else if (strcmp(key, "CriterionOptimMethod") == 0) {
        if (strcmp(value, "simplex") == 0 || strcmp(value, "Simplex") == 0)
            strcpy(CriterionOptimMethod, "simplex");
        else if (strcmp(value, "powell") == 0 || strcmp(value, "Powell") == 0)
            strcpy(CriterionOptimMethod, "powell");
        else
            refuse("Sorry, only 'simplex' and 'powell' are valid options. Default remains.\n");
    } else if (strcmp(key, "MleOptimMethod") == 0) {
        if (strcmp(value, "simplex") == 0 || strcmp(value, "Simplex") == 0)
            strcpy(MleOptimMethod, "simplex");
        else if (strcmp(value, "gradient") == 0 || strcmp(value, "Gradient") == 0)
            strcpy(MleOptimMethod, "gradient");
        else
            refuse("Sorry, only 'simplex' and 'gradient' are valid options. Default remains.\n");
    } else if (strcmp(key, "CrossValidateMethod") == 0) {
        if (strcmp(value, "auto") == 0 || strcmp(value, "Auto") == 0)
            strcpy(CrossValidateMethod, "auto");
        else if (strcmp(value, "direct") == 0 || strcmp(value, "Direct") == 0)
            strcpy(CrossValidateMethod, "direct");
        else if (strcmp(value, "closed") == 0 || strcmp(value, "Closed") == 0)
            strcpy(CrossValidateMethod, "closed");
        else
            refuse("Sorry, only 'auto', 'direct' and 'closed' are valid options. Default remains.\n");
    } else if (strcmp(key, "CriterionOptimStart") == 0) {
        if (strcmp(value, "random") == 0 || strcmp(value, "Random") == 0)
            strcpy(CriterionOptimStart, "random");
        else if (strcmp(value, "displacement") == 0 || strcmp(value, "Displacement") == 0)
            strcpy(CriterionOptimStart, "displacement");
        else if (strcmp(value, "DistanceNeighbour") == 0 || strcmp(value, "distanceneighbour") == 0)
            strcpy(CriterionOptimStart, "distanceneighbour");
        else
            refuse("Sorry, only 'random', 'displacement' and 'distanceneighbour'  are valid "
                         "options. Default remains.\n");
    } else if (strcmp(key, "RandomError") == 0) {
        set_random_error(value);
    } else if (strcmp(key, "EffectType") == 0) {
        if (strcmp(value, "slice") == 0 || strcmp(value, "Slice") == 0)
            strcpy(EffectType, "slice");
        else if (strcmp(value, "integrated") == 0 || strcmp(value, "Integrated") == 0)
            strcpy(EffectType, "integrated");
        else
            fprintf(ofp, "Sorry, only 'slice' and 'integrated' are valid options. Default remains.\n");
    } else {
        fprintf(stderr, "%s\n", key);
        nrerror("equal_init: code bug,  missing option ");
    }
}

void init_SystemCommandFunction(KrigModel *kr, char **token, int n_token)
{
    (void)kr;
    if (n_token < 3 || strcmp(token[0], "SystemCommandObjectiveFunction") != 0 || strcmp(token[1], "=") != 0) {
        refuse("Usage: SystemCommandObjectiveFunction = system command (several words allowed) \n"
                     "\t that interacts with morla.temp\n");
        return;
    }
    // Built aside, so that a command that does not fit leaves the one in
    // force untouched.
    char command[FUNCNAME_LEN];
    if (concat_string(n_token - 2, token + 2, FUNCNAME_LEN, command) != 0) {
        refuse("ERROR: SystemCommandObjectiveFunction is too long.\n");
        return;
    }
    strcpy(FuncName, command);
    init_FuncName = TRUE;
    SystemCommandFunction = TRUE;
    fprintf(ofp, "SystemCommandObjectiveFunction = %s\n", FuncName);
}
