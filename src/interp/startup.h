// Program start-up and shutdown: signal handling, the command-line forms,
// the banner, and the whole run from start-up to the orderly end.
#ifndef MORLA_STARTUP_H
#define MORLA_STARTUP_H

// SIGSEGV, SIGBUS, SIGFPE and SIGTERM end the process through exit() (so
// buffered output is flushed, no core image) with the signal number as status.
void avoid_coredump();

// Interprets the arguments: none (interactive), a command file, or a command
// file and an output file; more gives the usage line and exit status 1. The
// single arguments "--help" and "--version" print the usage text or the
// version on standard output and end the process with exit status 0. The
// report stream is line-buffered.
void main_init(int argc, char **argv);

// Writes the banner to the report stream.
void output_header();

// The whole program; returns the exit status of an orderly end.
int morla_main(int argc, char **argv);

#endif
