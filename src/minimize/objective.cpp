// Evaluation of the objective by an outside program through "morla.temp".
#include "minimize/objective.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "matfile/readmat.h"
#include "model/settings.h"
#include "numeric/nrerror.h"
#include "numeric/numtext.h"
#include "numeric/unix.h"

const char *objective_poll_command = "sleep 10";
int objective_max_tries = MAX_TRIES;

namespace {

const char EXCHANGE_FILE[] = "morla.temp";
const char FILE_ARGUMENT[] = " morla.temp";
// Room for one token of the exchange file, terminator included.
const int TOKEN_LEN = 150;
// Room for the text of what the file holds, as messages show it.
const int SHOWN_LEN = 240;

// TRUE while "morla.temp" is a file this process wrote and has not removed.
boolean exchange_written = FALSE;

// The first tokens of the exchange file, as one look at it found them.
struct Scan {
    int wanted;           // tokens looked for
    int count;            // tokens found, at most wanted
    int complete;         // of them, those followed by a line end
    char (*token)[TOKEN_LEN];
    boolean *too_long;    // the token did not fit TOKEN_LEN
    boolean *has_nul;     // the token holds a NUL byte
    int *length;          // bytes stored of the token
};

void scan_alloc(Scan *s, int wanted)
{
    s->wanted = wanted;
    s->count = s->complete = 0;
    s->token = (char (*)[TOKEN_LEN])calloc((size_t)wanted, TOKEN_LEN);
    s->too_long = (boolean *)calloc((size_t)wanted, sizeof(boolean));
    s->has_nul = (boolean *)calloc((size_t)wanted, sizeof(boolean));
    s->length = (int *)calloc((size_t)wanted, sizeof(int));
    if (s->token == NULL || s->too_long == NULL || s->has_nul == NULL || s->length == NULL) {
        fprintf(stderr, "sample_new_y: out of memory\n");
        exit(1);
    }
}

void scan_free(Scan *s)
{
    free(s->token);
    free(s->too_long);
    free(s->has_nul);
    free(s->length);
    s->token = NULL;
    s->too_long = s->has_nul = NULL;
    s->length = NULL;
}

// Reads the first s->wanted blank-separated tokens of f. Tokens are counted
// as complete once a line end follows them. With whole_lines the scan goes on
// to the line end after the last wanted token (or the end of the file);
// otherwise it stops as soon as that token has ended. A NUL byte is part of a
// token (it is not a separator), so that it cannot cut a value short.
void scan_tokens(FILE *f, boolean whole_lines, Scan *s)
{
    s->count = s->complete = 0;
    boolean inside = FALSE, beyond = FALSE;
    int len = 0, c;
    while ((c = getc(f)) != EOF) {
        if (c != '\0' && isspace(c)) {
            if (inside && !beyond)
                s->token[s->count - 1][len] = '\0';
            inside = FALSE;
            if (c == '\n') {
                s->complete = s->count;
                if (s->complete >= s->wanted)
                    break;
            }
            continue;
        }
        if (!inside) {
            if (s->count == s->wanted) {
                if (!whole_lines)
                    break;
                beyond = TRUE;
            } else {
                s->count++;
            }
            inside = TRUE;
            len = 0;
        }
        if (beyond)
            continue;
        int k = s->count - 1;
        if (c == '\0')
            s->has_nul[k] = TRUE;
        if (len < TOKEN_LEN - 1) {
            s->token[k][len++] = (char)c;
            s->length[k] = len;
        } else {
            s->too_long[k] = TRUE;
        }
    }
    if (inside && !beyond)
        s->token[s->count - 1][len] = '\0';
}

// The tokens found, joined by blanks, for messages: a NUL shows as "\\0",
// other unprintable bytes as "?", and a long text ends in "...".
void shown_tokens(const Scan *s, char *buf, int size)
{
    int len = 0;
    for (int k = 0; k < s->count; k++) {
        for (int i = (k == 0 ? 0 : -1); i < s->length[k]; i++) {
            if (len >= size - 6) {
                snprintf(buf + len, (size_t)(size - len), "...");
                return;
            }
            unsigned char c = i < 0 ? ' ' : (unsigned char)s->token[k][i];
            if (c == '\0') {
                buf[len++] = '\\';
                buf[len++] = '0';
            } else {
                buf[len++] = isprint(c) ? (char)c : '?';
            }
        }
    }
    buf[len] = '\0';
}

// Opens the exchange file with open(2) flags, refusing a symbolic link and
// anything but a regular file. Returns the descriptor, or -1 after a message
// on `ofp` that begins with `failure`.
int open_exchange(int flags, const char *failure)
{
    int fd = open(EXCHANGE_FILE, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == ELOOP)
            fprintf(ofp, "%s: morla.temp is a symbolic link, which is never followed.\n", failure);
        else if (errno == ENXIO)
            fprintf(ofp, "%s: morla.temp is not a regular file.\n", failure);
        else
            fprintf(ofp, "%s (%s).\n", failure, strerror(errno));
        return -1;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        fprintf(ofp, "%s: morla.temp is not a regular file.\n", failure);
        close(fd);
        return -1;
    }
    return fd;
}

// Writes the point: "%d " with d, then " %s " with each coordinate in text
// that reads back as the same number ("%f" where that is exact). The file is
// created anew: an earlier regular file of that name is removed first, so
// that no other name of it (a hard link) is ever written through; a link or
// anything but a regular file is refused. Returns 0, or 1 after a message.
int write_exchange(int d, const real *xbest)
{
    const char *failure = "ERROR: Can't open/create morla.temp for writing";
    struct stat st;
    if (lstat(EXCHANGE_FILE, &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            fprintf(ofp, "%s: morla.temp is a symbolic link, which is never followed.\n", failure);
            return 1;
        }
        if (!S_ISREG(st.st_mode)) {
            fprintf(ofp, "%s: morla.temp is not a regular file.\n", failure);
            return 1;
        }
        if (unlink(EXCHANGE_FILE) != 0 && errno != ENOENT) {
            fprintf(ofp, "%s (%s).\n", failure, strerror(errno));
            return 1;
        }
    }
    int fd = open_exchange(O_WRONLY | O_CREAT | O_EXCL, failure);
    if (fd < 0)
        return 1;
    exchange_written = TRUE;
    FILE *f = fdopen(fd, "w");
    if (f == NULL) {
        fprintf(ofp, "%s (%s).\n", failure, strerror(errno));
        close(fd);
        return 1;
    }
    boolean failed = fprintf(f, "%d ", d) < 0;
    for (int j = 0; j < d && !failed; j++) {
        char text[64];
        exact_real_text(xbest[j], "%f", text, sizeof text);
        failed = fprintf(f, " %s ", text) < 0;
    }
    if (fflush(f) != 0)
        failed = TRUE;
    int saved = errno;
    if (fclose(f) != 0) {
        failed = TRUE;
        saved = errno;
    }
    if (failed) {
        fprintf(ofp, "ERROR: Writing morla.temp failed (%s).\n", strerror(saved));
        return 1;
    }
    return 0;
}

// One look at the exchange file after the program ran. Returns 0 with the
// tokens in s, or 1 after a message.
int look(const char *command, boolean whole_lines, Scan *s)
{
    char failure[FUNCNAME_LEN + 100];
    snprintf(failure, sizeof failure, "ERROR: Can't open morla.temp for reading after the objective command '%s'",
             command);
    int fd = open_exchange(O_RDONLY, failure);
    if (fd < 0)
        return 1;
    FILE *f = fdopen(fd, "r");
    if (f == NULL) {
        fprintf(ofp, "%s (%s).\n", failure, strerror(errno));
        close(fd);
        return 1;
    }
    scan_tokens(f, whole_lines, s);
    fclose(f);
    return 0;
}

void show_holdings(const Scan *s)
{
    char shown[SHOWN_LEN];
    shown_tokens(s, shown, sizeof shown);
    fprintf(ofp, "morla.temp holds: %s\n", shown);
}

// The values of a complete scan into newy. Returns 0, or 1 after a message.
int take_values(const Scan *s, const char *command, int d, int ny, real *newy)
{
    for (int i = 0; i < d + 1 + ny; i++) {
        if (s->too_long[i]) {
            fprintf(ofp, "ERROR: A value in morla.temp after the objective command '%s' is longer than %d characters.\n",
                    command, TOKEN_LEN - 1);
            return 1;
        }
        if (i <= d)
            continue;
        real *value = &newy[i - d - 1];
        // Text after the number, a NUL byte, nan or inf: none is a value the
        // model can use.
        if (s->has_nul[i] || na_str_to_real(s->token[i], value, NA_VALUE) != 0 || !std::isfinite(*value)) {
            fprintf(ofp, "ERROR: Value %d of morla.temp after the objective command '%s' cannot be interpreted as a "
                         "number.\n",
                    i - d, command);
            show_holdings(s);
            return 1;
        }
    }
    return 0;
}

// TRUE when the command built from funcname fits its buffer; otherwise says
// so.
boolean name_fits(const char *funcname)
{
    if (SystemCommandFunction)
        return TRUE;
    const int longest = FUNCNAME_LEN - 1 - (int)strlen(FILE_ARGUMENT);
    if ((int)strlen(funcname) <= longest)
        return TRUE;
    fprintf(ofp, "Sorry, can't do that. The ObjectiveFunction name is longer than %d characters.\n", longest);
    return FALSE;
}

} // namespace

boolean objective_ready(const char *funcname)
{
    if (!name_fits(funcname))
        return FALSE;
    if (access(".", W_OK) != 0) {
        fprintf(ofp, "Sorry, can't do that. The working directory is not writable: Minimize keeps the exchange file "
                     "and its runs there.\n");
        return FALSE;
    }
    struct stat st;
    if (lstat(EXCHANGE_FILE, &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            fprintf(ofp, "Sorry, can't do that. morla.temp is a symbolic link, which is never followed.\n");
            return FALSE;
        }
        if (!S_ISREG(st.st_mode)) {
            fprintf(ofp, "Sorry, can't do that. morla.temp is not a regular file.\n");
            return FALSE;
        }
    }
    return TRUE;
}

int sample_new_y(const char *funcname, int d, const real *xbest, int ny, real *newy)
{
    if (!name_fits(funcname))
        return 1;
    char command[FUNCNAME_LEN];
    if (SystemCommandFunction)
        snprintf(command, sizeof command, "%s", funcname);
    else
        snprintf(command, sizeof command, "%s%s", funcname, FILE_ARGUMENT);

    if (write_exchange(d, xbest) != 0)
        return 1;

    const int n_entries = ny + d + 1;
    Scan s;
    scan_alloc(&s, n_entries);
    int result = 1;
    int status = exec_system(command);
    if (status == EXEC_NOT_STARTED) {
        fprintf(ofp, "ERROR: The objective command '%s' could not be started: no process could be created.\n",
                command);
    } else if (status != 0) {
        char how[120];
        describe_exec_status(status, how, sizeof how);
        fprintf(ofp, "ERROR: The objective command '%s' ended with %s.\n", command, how);
        if (look(command, FALSE, &s) == 0)
            show_holdings(&s);
    } else if (SystemCommandFunction) {
        for (int cycles = 0;; cycles++) {
            if (look(command, TRUE, &s) != 0)
                break;
            if (s.complete >= n_entries) {
                fprintf(ofp, "Execution of System Command : %d cycles of 10 real time seconds\n", cycles);
                result = take_values(&s, command, d, ny, newy);
                break;
            }
            if (cycles >= objective_max_tries) {
                fprintf(ofp, "ERROR: morla.temp does not hold %d values on complete lines after %d real time "
                             "seconds: the system command '%s' takes longer than anticipated.\n",
                        n_entries, objective_max_tries * POLL_SECONDS, command);
                show_holdings(&s);
                break;
            }
            exec_system(objective_poll_command);
        }
    } else {
        result = read_exchange_values(command, d, ny, newy);
    }
    scan_free(&s);
    return result;
}

int read_exchange_values(const char *command, int d, int ny, real *newy)
{
    const int n_entries = ny + d + 1;
    Scan s;
    scan_alloc(&s, n_entries);
    int result = 1;
    if (look(command, FALSE, &s) == 0) {
        if (s.count < n_entries) {
            fprintf(ofp, "ERROR: morla.temp holds %d of the %d tokens expected after the objective command '%s' "
                         "(the number of inputs, %d coordinate%s, %d value%s).\n",
                    s.count, n_entries, command, d, d == 1 ? "" : "s", ny, ny == 1 ? "" : "s");
            show_holdings(&s);
        } else {
            result = take_values(&s, command, d, ny, newy);
        }
    }
    scan_free(&s);
    return result;
}

void remove_exchange_file()
{
    if (exchange_written)
        unlink(EXCHANGE_FILE);
    exchange_written = FALSE;
}
