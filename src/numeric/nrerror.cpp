// Fatal errors, warnings and information lines.
#include "numeric/nrerror.h"

#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdlib>

thread_local FILE *ofp = stdout;

// The trap of the calling thread, if any.
static thread_local FatalTrap *fatal_trap = NULL;

void set_fatal_trap(FatalTrap *trap)
{
    if (trap != NULL)
        trap->raised = FALSE;
    fatal_trap = trap;
}

[[noreturn]] static void trapped(const char *error_text, boolean with_value, real value, const char *label)
{
    FatalTrap *trap = fatal_trap;
    fatal_trap = NULL;
    trap->raised = TRUE;
    trap->with_value = with_value;
    trap->value = value;
    snprintf(trap->text, sizeof trap->text, "%s", error_text);
    snprintf(trap->label, sizeof trap->label, "%s", label != NULL ? label : "");
    if (trap->on_raise != NULL)
        trap->on_raise(trap->context);
    // Everything the abandoned work holds stays where it is, in use, until
    // the process ends.
    for (;;)
        pause();
}

void nrerror(const char *error_text)
{
    if (fatal_trap != NULL)
        trapped(error_text, FALSE, 0.0, NULL);
    fprintf(stderr, "MORLA ERROR... \n");
    fprintf(stderr, "%s \n", error_text);
    fprintf(stderr, "Now exiting to system ... \n ");
    exit(1);
}

void nrerror(const char *error_text, real value, const char *label)
{
    if (fatal_trap != NULL)
        trapped(error_text, TRUE, value, label);
    fprintf(stderr, "MORLA error ... \n");
    fprintf(stderr, "%s %f \n", label, value);
    fprintf(stderr, "%s \n", error_text);
    fprintf(stderr, "Now exiting to system ... \n ");
    exit(2);
}

void replay_fatal(const FatalTrap *trap)
{
    if (trap->with_value)
        nrerror(trap->text, trap->value, trap->label);
    nrerror(trap->text);
}

// Set by any thread whose work is refused; read at the end of the run.
static std::atomic<bool> refused_in_run(false);

void mark_refused()
{
    refused_in_run = true;
}

boolean any_refused()
{
    return refused_in_run ? TRUE : FALSE;
}

void refuse(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vfprintf(ofp, format, args);
    va_end(args);
    mark_refused();
}

void nrinfo(const char *text)
{
    fprintf(ofp, "Info : %s\n", text);
}

void nrwarning(const char *text)
{
    fprintf(ofp, "WARNING: %s\n", text);
}
