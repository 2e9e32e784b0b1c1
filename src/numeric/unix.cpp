// CPU timing and shell commands.
#include "numeric/unix.h"

#include <pthread.h>
#include <sched.h>
#include <sys/times.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "numeric/nrerror.h"

namespace {

real program_start = 0.0;
real step_start = 0.0;

real process_seconds()
{
    struct tms t;
    if (times(&t) == (clock_t)-1)
        nrerror("cputime: times function gives error \n ");
    return (real)(t.tms_utime + t.tms_stime) / (real)sysconf(_SC_CLK_TCK);
}

} // namespace

void cputime(int mode, const char *label)
{
    real now = process_seconds();
    switch (mode) {
    case 1:
        program_start = now;
        break;
    case 2:
        fprintf(ofp, "%s Seconds: %.1f  \n ", label, now - program_start);
        break;
    case 11:
        step_start = now;
        break;
    case 12:
        fprintf(ofp, "%s Seconds: %.1f\n", label, now - step_start);
        break;
    default:
        nrerror("cputime : unknown argument");
    }
}

void cputime_report(const char *label, real seconds)
{
    fprintf(ofp, "%s Seconds: %.1f\n", label, seconds);
}

real thread_seconds()
{
    struct timespec t;
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0)
        return 0.0;
    return (real)t.tv_sec + (real)t.tv_nsec * 1e-9;
}

static void stop_signals(sigset_t *set)
{
    sigemptyset(set);
    sigaddset(set, SIGTERM);
    sigaddset(set, SIGINT);
    sigaddset(set, SIGHUP);
    sigaddset(set, SIGQUIT);
}

void leave_signals_to_main_thread()
{
    sigset_t set;
    stop_signals(&set);
    pthread_sigmask(SIG_BLOCK, &set, NULL);
}

void hold_stop_signals(boolean hold)
{
    // The mask before the hold is restored after it, so that a thread that
    // leaves these signals to the main thread keeps them blocked.
    static thread_local sigset_t before;
    if (hold) {
        sigset_t set;
        stop_signals(&set);
        pthread_sigmask(SIG_BLOCK, &set, &before);
    } else {
        pthread_sigmask(SIG_SETMASK, &before, NULL);
    }
}

int available_cores()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return 1;
    int count = CPU_COUNT(&set);
    return count > 0 ? count : 1;
}

int exec_system(const char *command)
{
    // Flushed before the fork, so that a child cannot write the parent's
    // pending output a second time.
    fflush(ofp);
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid < 0)
        return EXEC_NOT_STARTED;
    if (pid == 0) {
        // Whatever the command prints is a progress message for the user: it
        // goes to standard error, never into the report and never back to a
        // shell.
        dup2(STDERR_FILENO, STDOUT_FILENO);
        execlp("sh", "sh", "-c", command, (char *)NULL);
        // The child leaves without the parent's exit handlers and buffers.
        static const char reasons[] =
            "MORLA ERROR... \nexec_system: Likely reasons: \n\t (1) Minimization function does not exist (in "
            "specified directory) \n\t (2) 2 morla processes running simultaneously accessing morla.temp \n";
        ssize_t ignored = write(STDERR_FILENO, reasons, sizeof reasons - 1);
        (void)ignored;
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return EXEC_NOT_STARTED;
    }
    if (WIFSIGNALED(status))
        return -WTERMSIG(status);
    return WEXITSTATUS(status);
}

void describe_exec_status(int status, char *buf, int len)
{
    if (status == EXEC_NOT_STARTED)
        snprintf(buf, (size_t)len, "no process could be started");
    else if (status < 0)
        snprintf(buf, (size_t)len, "signal %d (%s)", -status, strsignal(-status));
    else if (status == 127)
        snprintf(buf, (size_t)len, "exit status 127 (command not found)");
    else if (status == 126)
        snprintf(buf, (size_t)len, "exit status 126 (command not executable)");
    else if (status > 128 && status < 128 + 65)
        snprintf(buf, (size_t)len, "exit status %d (the shell's report of signal %d, %s)", status, status - 128,
                 strsignal(status - 128));
    else
        snprintf(buf, (size_t)len, "exit status %d", status);
}

real memory_bytes()
{
    long pages = sysconf(_SC_PHYS_PAGES);
    long page_size = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page_size <= 0)
        return 0.0;
    return (real)pages * (real)page_size;
}

