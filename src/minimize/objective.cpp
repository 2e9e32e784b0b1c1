// Evaluation of the objective by an outside program through "morla.temp".
#include "minimize/objective.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "matfile/readmat.h"
#include "model/settings.h"
#include "numeric/nrerror.h"
#include "numeric/unix.h"

const char *objective_poll_command = "sleep 10";
int objective_max_tries = MAX_TRIES;

namespace {

const char EXCHANGE_FILE[] = "morla.temp";
const char FILE_ARGUMENT[] = " morla.temp";
// Room for one token of the exchange file, terminator included.
const int TOKEN_LEN = 150;

// Reads the next blank-separated token of f into buf (size bytes).
// Returns 0, 1 at the end of the file, 2 when the token does not fit.
int next_token(FILE *f, char *buf, int size)
{
    int c;
    do
        c = getc(f);
    while (c != EOF && isspace(c));
    if (c == EOF)
        return 1;
    int len = 0;
    while (c != EOF && !isspace(c)) {
        if (len == size - 1)
            return 2;
        buf[len++] = (char)c;
        c = getc(f);
    }
    buf[len] = '\0';
    return 0;
}

// Counts the tokens of f, stopping at `enough`; tokens of any length count.
int count_tokens(FILE *f, int enough)
{
    int count = 0;
    boolean inside = FALSE;
    int c;
    while (count < enough && (c = getc(f)) != EOF) {
        if (isspace(c)) {
            inside = FALSE;
        } else if (!inside) {
            inside = TRUE;
            count++;
        }
    }
    return count;
}

} // namespace

void wait_morlatemp(int n_entries)
{
    for (int cycles = 0;; cycles++) {
        FILE *f = fopen(EXCHANGE_FILE, "r");
        if (f == NULL)
            nrerror("wait_morlatemp: Can't open  morla.temp for reading. ");
        boolean ready = count_tokens(f, n_entries) >= n_entries;
        fclose(f);
        if (ready) {
            fprintf(ofp, "Execution of System Command : %d cycles of 10 real time seconds\n", cycles);
            return;
        }
        if (cycles >= objective_max_tries)
            nrerror("wait_morlatemp: morla.temp does not have enough values.\n May be the system command takes "
                    "longer than anticipated. ",
                    (real)objective_max_tries * POLL_SECONDS, " (real time secs)");
        exec_system(objective_poll_command);
    }
}

void read_morlatemp(int d, int ny, real *newy)
{
    const int n_entries = ny + d + 1;
    FILE *f = fopen(EXCHANGE_FILE, "r");
    if (f == NULL)
        nrerror("sample_new_y: Can't open  morla.temp for reading. ");
    char token[TOKEN_LEN];
    for (int i = 0; i < n_entries; i++) {
        int got = next_token(f, token, TOKEN_LEN);
        if (got == 1)
            nrerror("sample_new_y: Possible reasons:\n\t(1) Minimization Function File does not exist in "
                    "directory supplied. \n\t(2) Not enough values in  morla.temp for reading.\n\t(3) Number "
                    "of x-vars in Minimization Function and Program Database \n\t  don't match.");
        if (got == 2) {
            fclose(f);
            nrerror("sample_new_y: A token in morla.temp is longer than 149 characters.");
        }
        if (i > d) {
            real *value = &newy[i - d - 1];
            // A value that is not finite (nan, inf) is no more usable than
            // text, and must not reach the model.
            if (na_str_to_real(token, value, NA_VALUE) != 0 || !std::isfinite(*value)) {
                fclose(f);
                nrerror("Sample New Points: Not all new points can be interpreted as a number");
            }
        }
    }
    fclose(f);
}

void sample_new_y(const char *funcname, int d, const real *xbest, int ny, real *newy)
{
    char command[FUNCNAME_LEN];
    if (!SystemCommandFunction) {
        const int longest = FUNCNAME_LEN - 1 - (int)strlen(FILE_ARGUMENT);
        if ((int)strlen(funcname) > longest) {
            char message[120];
            snprintf(message, sizeof message, "sample_new_y: ObjectiveFunction name longer than %d characters.",
                     longest);
            nrerror(message);
        }
        snprintf(command, sizeof command, "%s%s", funcname, FILE_ARGUMENT);
    }

    FILE *f = fopen(EXCHANGE_FILE, "w");
    if (f == NULL)
        nrerror("sample_new_y: Can't open/create morla.temp for writing. ");
    fprintf(f, "%d ", d);
    for (int j = 0; j < d; j++)
        fprintf(f, " %f ", xbest[j]);
    fclose(f);

    const int n_entries = ny + d + 1;
    if (SystemCommandFunction) {
        exec_system(funcname);
        wait_morlatemp(n_entries);
    } else {
        exec_system(command);
    }

    read_morlatemp(d, ny, newy);
}
