// Evaluation of the objective by an outside program: the new point goes to
// the exchange file "morla.temp", the program runs (by name, or as a whole
// shell command whose results are awaited by polling the file), and the new
// values of every response and constraint are read back from the same file.
//
// The exchange file is used only while it is a regular file: it is never
// followed through a symbolic link, and a FIFO, device or directory of that
// name is refused. Every failure (of the file, of the program, of its
// values) is reported on the report stream and returned, never fatal, so
// that the caller keeps every run made so far.
#ifndef MORLA_OBJECTIVE_H
#define MORLA_OBJECTIVE_H

#include "general.h"

// Polls of the exchange file before the command form gives up.
#define MAX_TRIES 1000
// Real-time seconds that one poll waits.
#define POLL_SECONDS 10

// The shell command run between two polls ("sleep 10") and the most polls
// (MAX_TRIES). Only tests change them, to wait less.
extern const char *objective_poll_command;
extern int objective_max_tries;

// TRUE when an evaluation can start: the command built from funcname fits
// its buffer, the working directory is writable, and "morla.temp" is absent
// or a regular file (not a symbolic link). Otherwise the reason is written
// to `ofp` ("Sorry, ...") and FALSE returned; nothing is changed.
boolean objective_ready(const char *funcname);

// Evaluates the objective at the new point xbest (d reals) and stores the ny
// values it returns in newy, in the order of the model array. The file
// "morla.temp" is written with "%d " (d) and " %s " per coordinate, each
// coordinate in text that reads back as exactly the same number, then:
//   SystemCommandFunction set: funcname is run as it is, and the file is
//     polled until d + 1 + ny tokens stand on complete lines (each followed
//     by a line end): a value still being written never counts;
//   otherwise: "funcname morla.temp" is run, and the file is read when the
//     program ends (no line end needed).
// Tokens 0..d are skipped; the next ny are the values, where "NA" or "na"
// gives the missing value -1e14; tokens after them are ignored. Returns 0
// when every value was read. Otherwise returns 1 after an "ERROR: " message
// on `ofp` that names the command and the fault: the file could not be
// written (or is a link or not a regular file), the program ended with a
// non-zero exit status or by a signal (or could not be run), too few values
// (after objective_max_tries polls in the command form), a value that is not
// a finite number (trailing text, a NUL byte) or of more than 149
// characters; where the file could be read, a line "morla.temp holds: ..."
// shows what was in it.
int sample_new_y(const char *funcname, int d, const real *xbest, int ny, real *newy);

// Reads the ny values that the program run as `command` left in
// "morla.temp" (d + 1 tokens first), as sample_new_y does after a program run
// by name: 0 with every value finite or the missing value, or 1 after its
// "ERROR: " message.
int read_exchange_values(const char *command, int d, int ny, real *newy);

// Removes "morla.temp" when sample_new_y has written it since the last
// removal; otherwise leaves any file of that name alone.
void remove_exchange_file();

#endif
