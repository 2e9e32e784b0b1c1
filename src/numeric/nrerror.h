// Fatal errors, warnings and information lines: the one place through which
// every subsystem reports trouble. Ordinary reports go to the report stream
// `ofp`; fatal messages go to standard error and end the process.
#ifndef MORLA_NRERROR_H
#define MORLA_NRERROR_H

#include <cstdio>

#include "general.h"

// The report stream: standard output, or the output file named on the
// command line. Every report, prompt, echo and non-fatal message goes here.
// Each thread has its own: a helper thread that works for a command sends
// its lines to a buffer of its own, which the command prints in order.
extern thread_local FILE *ofp;

// Fatal error: "MORLA ERROR... " header, the message, the exit line on
// standard error; the process ends through exit() (so `ofp` is flushed and
// closed) with status 1.
[[noreturn]] void nrerror(const char *error_text);

// Fatal error that shows a value under a label; exit status 2.
[[noreturn]] void nrerror(const char *error_text, real value, const char *label);

// "Info : %s\n" on `ofp`.
void nrinfo(const char *text);

// "WARNING: %s\n" on `ofp`. Within a command (between
// warnings_begin_command and warnings_end_command, in the thread that called
// them) a text given more than WARNING_REPEATS times is shown only the first
// WARNING_REPEATS times and counted after that.
void nrwarning(const char *text);

// How often the same warning is shown within one command.
#define WARNING_REPEATS 5

// Starts counting the warnings of a command in the calling thread.
void warnings_begin_command();
// Ends the command: for every warning given more than WARNING_REPEATS times,
// "WARNING: repeated %d more times in this command (the first %d are
// shown): %s\n" with the count of those not shown and the first line of its
// text, in the order of their first appearance. Counting stops.
void warnings_end_command();
// Writes text that another thread collected for the report (lines ending in
// newlines) to `ofp`. Its lines that begin with "WARNING: " are counted and
// held back as if given here with nrwarning.
void write_report_text(const char *text, size_t len);

// Refusals. A command that is refused or fails writes its message with
// refuse (printf-style, to `ofp`) or, when the message goes elsewhere, calls
// mark_refused; the run remembers it, so that a batch run whose commands did
// not all succeed ends with a non-zero exit status.
void refuse(const char *format, ...) __attribute__((format(printf, 1, 2)));
void mark_refused();
// TRUE once any command of the run has been refused.
boolean any_refused();

// A fatal error held back. While a thread has a trap set, a fatal error in
// that thread writes nothing and ends nothing: it records itself in the
// trap, calls on_raise(context) and leaves the thread waiting, its work
// abandoned where it stood, until the process ends. The thread that owns the
// process's output then reports it in its turn with replay_fatal.
typedef struct {
    void (*on_raise)(void *context);  // told once the error is recorded
    void *context;
    boolean raised;       // a fatal error has been recorded
    boolean with_value;   // it was the form with a value and a label
    real value;           // the value shown
    char text[512];       // the message
    char label[64];       // the label of the value
} FatalTrap;

// Sets (or with NULL clears) the trap of the calling thread.
void set_fatal_trap(FatalTrap *trap);

// Reports the recorded fatal error exactly as nrerror would have and ends
// the process.
[[noreturn]] void replay_fatal(const FatalTrap *trap);

#endif
