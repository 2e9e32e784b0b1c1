// CPU timing and shell commands: the two services that reach the operating
// system beyond plain files.
#ifndef MORLA_UNIX_H
#define MORLA_UNIX_H

// CPU timer (user plus system time of this process, children excluded).
//   mode 1: start the program timer;   mode 2: report "%s Seconds: %.1f  \n ";
//   mode 11: start the step timer;     mode 12: report "%s Seconds: %.1f\n".
// Any other mode is fatal.
void cputime(int mode, const char *label);

// Runs `command` through "sh -c" inside backquotes in a child process and
// waits for a child to end. The report stream is flushed first, so that
// nothing buffered is written twice. If no child can be created, nothing
// runs and the routine returns.
void exec_system(const char *command);

#endif
