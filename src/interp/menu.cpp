// The command loop and its dispatch table.
#include "interp/menu.h"

#include <cstring>

#include "alloc/alloc.h"
#include "interp/inout.h"
#include "interp/options.h"
#include "interp/info.h"
#include "model/reports.h"
#include "model/sizeguard.h"
#include "matfile/tokenize.h"
#include "kriging/krigeffect.h"
#include "kriging/crossval.h"
#include "minimize/krigmin.h"
#include "fit/krigmle.h"
#include "minimize/minstage.h"
#include "kriging/predict.h"
#include "kriging/sensitivity.h"
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

void run_sensitivity(KrigModel **kr, KrigArray *ka, char **token, int n_token)
{
    init_Sensitivity(*kr, ka, token, n_token);
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
        refuse("Unexpected input. No tokens should follow 'database' (other than comments)\n");
}

void run_info(KrigModel **, KrigArray *, char **, int n_token)
{
    info(n_token);
}

void run_check_allocation(KrigModel **, KrigArray *, char **, int)
{
    if (!_FIRSTCOMMAND_)
        refuse("Sorry, check_allocation must be the first input command \n");
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
    {"Sensitivity", run_sensitivity},
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
    {"MaximumSample", run_equal_init},
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
    {"CrossValidateMethod", run_equal_init},
    {"StoppingRelativeTolerance", run_equal_init},
    {"EffectType", run_equal_init},
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
        warnings_begin_command();
        // A design too large for this machine is refused before the command
        // allocates its matrices.
        KrigModel *first = *kr;
        if (!command_fits(c.name, first->n[0], first->d[0], ka->init ? ka->p + ka->c : 1)) {
            warnings_end_command();
            return CONTINUE;
        }
        c.handler(kr, ka, token, n_token);
        warnings_end_command();
        return CONTINUE;
    }
    refuse("\nCannot parse this line. \n");
    return CONTINUE;
}

// The longest command line, newline excluded.
const int LONGEST_LINE = MENU_LINE_LEN - 1;

// Outcome of reading a line.
enum LineRead { LINE_OK, LINE_TOO_LONG, LINE_EOF };

// Reads one physical line whole. Batch lines keep their newline (for the
// echo), interactive ones lose it; a CRLF line end counts as a newline. A
// line of more than LONGEST_LINE characters is consumed to its end and
// reported as too long, so that no part of it can run. LINE_EOF at end of
// input or on a read error.
LineRead read_line(char *line)
{
    FILE *in = interactive ? stdin : ifp;
    // Up to one character beyond the limit is kept: a carriage return there
    // still ends a line of the longest length.
    int kept = 0, length = 0, c;
    while ((c = getc(in)) != EOF && c != '\n') {
        if (kept <= LONGEST_LINE)
            line[kept++] = (char)c;
        length++;
    }
    if (c == EOF && length == 0)
        return LINE_EOF;
    if (length == kept && kept > 0 && line[kept - 1] == '\r')
        length = --kept;
    if (length > LONGEST_LINE)
        return LINE_TOO_LONG;
    if (c == '\n' && !interactive)
        line[kept++] = '\n';
    line[kept] = '\0';
    return LINE_OK;
}

} // namespace

void menu(KrigModel **kr, KrigArray *ka)
{
    char **token = NULL;
    int *n_token = NULL;
    alloc(MENU_TOKENS, MENU_TOKEN_LEN, &token);
    alloc(1, &n_token);

    char line[MENU_LINE_LEN + 2];
    int line_no = 0;
    for (;;) {
        fprintf(ofp, "morla> ");
        // The prompt has no newline: it is sent on before the program waits
        // for the next line, for a user or a program at the other end of a
        // pipe.
        fflush(ofp);
        LineRead status = read_line(line);
        if (status == LINE_EOF)
            break;
        line_no++;
        if (status == LINE_TOO_LONG) {
            refuse("Sorry, line %d is longer than %d characters. Line ignored.\n", line_no, LONGEST_LINE);
            continue;
        }

        n_token[0] = MENU_TOKENS;
        int result = tokenize(line, n_token, MENU_TOKEN_LEN, token);
        if (result == TOKEN_TOO_LONG)
            refuse("Sorry, line %d holds a word longer than %d characters. Line ignored.\n", line_no,
                   MENU_TOKEN_LEN - 2);
        if (result != 0)
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
