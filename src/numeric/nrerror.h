// Fatal errors, warnings and information lines: the one place through which
// every subsystem reports trouble. Ordinary reports go to the report stream
// `ofp`; fatal messages go to standard error and end the process.
#ifndef MORLA_NRERROR_H
#define MORLA_NRERROR_H

#include <cstdio>

#include "general.h"

// The report stream: standard output, or the output file named on the
// command line. Every report, prompt, echo and non-fatal message goes here.
extern FILE *ofp;

// Fatal error: "MORLA ERROR... " header, the message, the exit line on
// standard error; the process ends through exit() (so `ofp` is flushed and
// closed) with status 1.
[[noreturn]] void nrerror(const char *error_text);

// Fatal error that shows a value under a label; exit status 2.
[[noreturn]] void nrerror(const char *error_text, real value, const char *label);

// "Info : %s\n" on `ofp`.
void nrinfo(const char *text);

// "WARNING: %s\n" on `ofp`.
void nrwarning(const char *text);

#endif
