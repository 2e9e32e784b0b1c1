// Evaluation of the objective by an outside program: the new point goes to
// the exchange file "morla.temp", the program runs (by name, or as a whole
// shell command whose results are awaited by polling the file), and the new
// values of every response and constraint are read back from the same file.
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

// Evaluates the objective at the new point xbest (d reals) and stores the ny
// values it returns in newy, in the order of the model array. The file
// "morla.temp" is written with "%d " (d) and " %f " per coordinate, then:
//   SystemCommandFunction set: funcname is run as it is, and the file is
//     polled (wait_morlatemp) until it holds d + 1 + ny tokens;
//   otherwise: "funcname morla.temp" is run, and the file is read when the
//     program ends.
// Tokens 0..d are skipped; the next ny are the values, where "NA" or "na"
// gives the missing value -1e14; tokens after them are ignored. Every failure
// (file not writable or readable, too few tokens, a token of more than 149
// characters, a value that is not a finite number, a program name too long
// for the command) is fatal. The file is left in place.
void sample_new_y(const char *funcname, int d, const real *xbest, int ny, real *newy);

// Reads the program's values back from "morla.temp": tokens 0..d skipped,
// the next ny into newy ("NA" or "na" gives -1e14). Every failure (no file,
// too few tokens, a token of more than 149 characters, a value that is not a
// finite number) is fatal.
void read_morlatemp(int d, int ny, real *newy);

// Waits until "morla.temp" holds at least n_entries tokens: checks the file,
// and runs the poll command between two checks. When ready, writes
// "Execution of System Command : %d cycles of 10 real time seconds\n" with
// the number of polls to `ofp`. Fatal if the file cannot be opened, and
// fatal with exit status 2 once objective_max_tries polls have not
// sufficed.
void wait_morlatemp(int n_entries);

#endif
