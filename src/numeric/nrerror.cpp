// Fatal errors, warnings and information lines.
#include "numeric/nrerror.h"

#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

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
    warnings_end_command();
    fprintf(stderr, "MORLA ERROR... \n");
    fprintf(stderr, "%s \n", error_text);
    fprintf(stderr, "Now exiting to system ... \n ");
    exit(1);
}

void nrerror(const char *error_text, real value, const char *label)
{
    if (fatal_trap != NULL)
        trapped(error_text, TRUE, value, label);
    warnings_end_command();
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

// The warnings of the current command: each distinct text with the number
// of times it was given. Only the thread that began the command counts;
// helper threads write every warning into the text they collect, which the
// command's thread then passes through write_report_text. Texts beyond the
// table's room are shown every time.
static const int WARNING_KINDS = 64;
static const int WARNING_KEY = 256;
typedef struct {
    char text[WARNING_KEY];
    int count;
} WarningCount;
static WarningCount warning_counts[WARNING_KINDS];
static int warning_kinds = 0;
static thread_local boolean counting_warnings = FALSE;

void warnings_begin_command()
{
    warning_kinds = 0;
    counting_warnings = TRUE;
}

// TRUE when the warning whose text starts at text (len characters) is to be
// shown: counting is off, or it has been given at most WARNING_REPEATS times.
static boolean warning_shown(const char *text, size_t len)
{
    if (!counting_warnings || len >= (size_t)WARNING_KEY)
        return TRUE;
    for (int k = 0; k < warning_kinds; k++) {
        WarningCount *w = &warning_counts[k];
        if (strlen(w->text) == len && memcmp(w->text, text, len) == 0)
            return ++w->count <= WARNING_REPEATS;
    }
    if (warning_kinds == WARNING_KINDS)
        return TRUE;
    WarningCount *w = &warning_counts[warning_kinds++];
    memcpy(w->text, text, len);
    w->text[len] = '\0';
    w->count = 1;
    return TRUE;
}

void warnings_end_command()
{
    if (!counting_warnings)
        return;
    counting_warnings = FALSE;
    for (int k = 0; k < warning_kinds; k++) {
        const WarningCount *w = &warning_counts[k];
        if (w->count <= WARNING_REPEATS)
            continue;
        int first_line = (int)strcspn(w->text, "\n");
        fprintf(ofp, "WARNING: repeated %d more times in this command (the first %d are shown): %.*s\n",
                w->count - WARNING_REPEATS, WARNING_REPEATS, first_line, w->text);
    }
    warning_kinds = 0;
}

void write_report_text(const char *text, size_t len)
{
    static const char tag[] = "WARNING: ";
    const size_t tag_len = sizeof tag - 1;
    size_t start = 0;
    while (start < len) {
        const char *line = text + start;
        const char *newline = (const char *)memchr(line, '\n', len - start);
        size_t line_len = newline != NULL ? (size_t)(newline - line) + 1 : len - start;
        boolean shown = TRUE;
        if (line_len > tag_len && memcmp(line, tag, tag_len) == 0)
            shown = warning_shown(line + tag_len, newline != NULL ? line_len - tag_len - 1 : line_len - tag_len);
        if (shown)
            fwrite(line, 1, line_len, ofp);
        start += line_len;
    }
}

void nrwarning(const char *text)
{
    if (warning_shown(text, strlen(text)))
        fprintf(ofp, "WARNING: %s\n", text);
}
