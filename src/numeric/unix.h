// CPU timing and shell commands: the two services that reach the operating
// system beyond plain files.
#ifndef MORLA_UNIX_H
#define MORLA_UNIX_H

#include "general.h"

// CPU timer (user plus system time of this process, children excluded).
//   mode 1: start the program timer;   mode 2: report "%s Seconds: %.1f  \n ";
//   mode 11: start the step timer;     mode 12: report "%s Seconds: %.1f\n".
// Any other mode is fatal.
void cputime(int mode, const char *label);

// The step report of mode 12 for a CPU time measured by the caller (work
// shared among threads): "%s Seconds: %.1f\n".
void cputime_report(const char *label, real seconds);

// CPU seconds used so far by the calling thread.
real thread_seconds();

// For a helper thread: leaves the termination signals (SIGTERM, SIGINT,
// SIGHUP, SIGQUIT) to the program's main thread, so that the process ends
// from there.
void leave_signals_to_main_thread();

// Holds back (hold TRUE) the termination signals in the calling thread, and
// restores (hold FALSE) the thread's signal mask as it was before the hold.
// A signal sent meanwhile is delivered when the hold ends: a step that
// creates a file and records its name for removal is never cut in two.
void hold_stop_signals(boolean hold);

// Bytes of physical memory of the machine (0 when unknown): the most that
// storage for one command may take.
real memory_bytes();

// Processors this process may run on (at least 1): the number of helper
// threads worth starting for independent work.
int available_cores();

// exec_system's result when no child process could be created.
#define EXEC_NOT_STARTED (-1000)

// Runs `command` through "sh -c" in a child process and waits for that child
// to end. The child's standard output goes to standard error: what the
// command prints is shown to the user but never enters the report and is
// never run as a further command. The streams are flushed first, so that
// nothing buffered is written twice. Returns the child's exit status (0 to
// 255; the shell gives 127 for a command it cannot find and 126 for one it
// cannot execute), minus the signal number when a signal ended the child, or
// EXEC_NOT_STARTED when no child could be created. A child in which the
// shell cannot be started writes the reasons to standard error and ends with
// status 127.
int exec_system(const char *command);

// The outcome of exec_system in words, for messages: "exit status 3",
// "exit status 127 (command not found)", "signal 9 (Killed)", "exit status
// 137 (the shell's report of signal 9, Killed)", "no process could be
// started". Writes at most len bytes to buf.
void describe_exec_status(int status, char *buf, int len);

#endif
