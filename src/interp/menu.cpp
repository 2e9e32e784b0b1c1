// The command loop and its dispatch table.
#include "interp/menu.h"

#include <cstring>

#include "alloc/alloc.h"
#include "interp/inout.h"
#include "interp/options.h"
#include "interp/info.h"
#include "model/reports.h"
#include "matfile/tokenize.h"
#include "kriging/krigeffect.h"
#include "kriging/crossval.h"
#include "minimize/krigmin.h"
#include "fit/krigmle.h"
#include "minimize/minstage.h"
#include "kriging/predict.h"
#include "numeric/nrerror.h"

FILE *ifp = NULL;
boolean interactive = FALSE;
boolean _FIRSTCOMMAND_ = TRUE;

namespace {

// What a handler gets: the model array (by address), the response set and
// the tokens of the line.
typedef void (*Handler)(KrigModel **kr, KrigArray *ka, char **token, int n_token);

// Result of a dispatch: the loop goes on, or it ends.
enum Dispatch { CONTINUE, QUIT };

void run_predict(KrigModel **kr, KrigArray *ka, char **token, int n_token)
{
    init_predict(*kr, ka, token, n_token);
}

void run_main_effects(KrigModel **kr, KrigArray *ka, char **token, int n_token)
{
    init_MainEffects(*kr, ka, token, n_token);
}

void run_joint_effects(KrigModel **kr, KrigArray *ka, char **token, int n_token)
{
    init_JointEffects(*kr, ka, token, n_token);
}

void run_crossvalidate(KrigModel **kr, KrigArray *ka, char **token, int n_token)
{
    init_krigcv(*kr, ka, token, n_token);
}

void run_fit(KrigModel **kr, KrigArray *ka, char **token, int n_token)
{
    init_fit(*kr, ka, token, n_token);
}

void run_minimize(KrigModel **kr, KrigArray *ka, char **token, int n_token)
{
    init_Minimize(*kr, ka, token, n_token, RandomError);
}

void run_minimize_stage(KrigModel **kr, KrigArray *ka, char **token, int n_token)
{
    init_MinStage(*kr, ka, token, n_token);
}

void run_equal_init(KrigModel **kr, KrigArray *, char **token, int n_token)
{
    equal_init(*kr, token, n_token);
}

void run_system_command(KrigModel **kr, KrigArray *, char **token, int n_token)
{
    init_SystemCommandFunction(*kr, token, n_token);
}

void run_database(KrigModel **kr, KrigArray *ka, char **, int n_token)
{
    if (n_token == 1)
        database(*kr, ka);
    else
        fprintf(ofp, "Unexpected input. No tokens should follow 'database' (other than comments)\n");
}

void run_info(KrigModel **, KrigArray *, char **, int n_token)
{
    info(n_token);
}

void run_check_allocation(KrigModel **, KrigArray *, char **, int)
{
    if (!_FIRSTCOMMAND_)
        fprintf(ofp, "Sorry, check_allocation must be the first input command \n");
}

struct Command {
    const char *name;
    Handler handler; // NULL: leave the loop
};

const Command commands[] = {
    {"Predict", run_predict},
    {"p", run_predict},
    {"MainEffects", run_main_effects},
    {"JointEffects", run_joint_effects},
    {"CrossValidate", run_crossvalidate},
    {"cv", run_crossvalidate},
    {"Fit", run_fit},
    {"f", run_fit},
    {"Minimize", run_minimize},
    {"m", run_minimize},
    {"MinimizeStage", run_minimize_stage},
    {"X", inout},
    {"y", inout},
    {"Y", inout},
    {"beta", inout},
    {"RegressionModel", inout},
    {"F", inout},
    {"R", inout},
    {"range", inout},
    {"XDescription", inout},
    {"xdescription", inout},
    {"corpar", inout},
    {"StochasticProcessModel", inout},
    {"summary", inout},
    {"Summary", inout},
    {"ydescrip", inout},
    {"YDescription", inout},
    {"RandomError", run_equal_init},
    {"SystemCommandObjectiveFunction", run_system_command},
    {"Tries", run_equal_init},
    {"ObjectiveFunction", run_equal_init},
    {"RandomSeed", run_equal_init},
    {"MinimumSample", run_equal_init},
    {"GridSize", run_equal_init},
    {"StoppingCriterion", run_equal_init},
    {"MleFrequency", run_equal_init},
    {"MlePercentage", run_equal_init},
    {"MleMaxObs", run_equal_init},
    {"GlobalExpectedImprovement", run_equal_init},
    {"StoppingAbsoluteTolerance", run_equal_init},
    {"StoppingQuantile", run_equal_init},
    {"MinimizationTarget", run_equal_init},
    {"CriterionOptimStart", run_equal_init},
    {"CriterionOptimTries", run_equal_init},
    {"CriterionOptimMethod", run_equal_init},
    {"MleOptimMethod", run_equal_init},
    {"StoppingRelativeTolerance", run_equal_init},
    {"database", run_database},
    {"Database", run_database},
    {"Info", run_info},
    {"i", run_info},
    {"info", run_info},
    {"help", run_info},
    {"Help", run_info},
    {"h", run_info},
    {"check_allocation", run_check_allocation},
    {"Quit", NULL},
    {"End", NULL},
    {"quit", NULL},
    {"end", NULL},
    {"q", NULL},
};

Dispatch dispatch(KrigModel **kr, KrigArray *ka, char **token, int n_token)
{
    for (const Command &c : commands) {
        if (strcmp(token[0], c.name) != 0)
            continue;
        if (c.handler == NULL)
            return QUIT;
        c.handler(kr, ka, token, n_token);
        return CONTINUE;
    }
    fprintf(ofp, "\nCannot parse this line. \n");
    return CONTINUE;
}

// Reads one line (or one 129-byte piece of a longer one). Interactive lines
// lose their newline. FALSE at end of input or on a read error.
boolean read_line(char *line)
{
    FILE *in = interactive ? stdin : ifp;
    if (fgets(line, MENU_LINE_LEN, in) == NULL)
        return FALSE;
    if (interactive) {
        size_t len = strlen(line);
        if (len > 0 && line[len - 1] == '\n')
            line[len - 1] = '\0';
    }
    return TRUE;
}

} // namespace

void menu(KrigModel **kr, KrigArray *ka)
{
    char **token = NULL;
    int *n_token = NULL;
    alloc(MENU_TOKENS, MENU_TOKEN_LEN, &token);
    alloc(1, &n_token);

    char line[MENU_LINE_LEN];
    for (;;) {
        fprintf(ofp, "morla> ");
        if (!read_line(line))
            break;

        n_token[0] = MENU_TOKENS;
        if (tokenize(line, n_token, MENU_TOKEN_LEN, token) != 0)
            n_token[0] = 0;

        if (!interactive && strcmp(line, "         ") > 0)
            fprintf(ofp, "%s", line);

        if (n_token[0] <= 0)
            continue;
        if (dispatch(kr, ka, token, n_token[0]) == QUIT)
            break;
        if (_FIRSTCOMMAND_) {
            if (strcmp(token[0], "check_allocation") != 0)
                SPEED = 1;
            _FIRSTCOMMAND_ = FALSE;
        }
    }

    frei(MENU_TOKENS, MENU_TOKEN_LEN, &token);
    frei(1, &n_token);
}
