// Program start-up, the command-line forms and the orderly end.
#include "interp/startup.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "alloc/alloc.h"
#include "interp/menu.h"
#include "interp/options.h"
#include "matfile/writemat.h"
#include "numeric/simplex.h"
#include "numeric/unix.h"
#include "model/krigmodel.h"
#include "numeric/nrerror.h"
#include "numeric/unif.h"

// Ends the run on a signal with the signal's number as the exit status.
// Only async-signal-safe calls: the file being written, if any, is removed
// (its old version stays; a half-written file never takes its name), and the
// process ends at once. The report stream is line-buffered, so the report
// holds every complete line written before.
static void exit_on_signal(int signum)
{
    remove_unfinished_output();
    _exit(signum);
}

void avoid_coredump()
{
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = exit_on_signal;
    sigfillset(&action.sa_mask);
    // An interrupt from the keyboard and a hang-up end the run the same way.
    const int signals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGTERM, SIGINT, SIGHUP};
    for (int signum : signals)
        sigaction(signum, &action, NULL);
    // A fatal error ends the run through exit(): the file being written then
    // does not appear either.
    atexit(remove_unfinished_output);
}

// Every complete line of the report reaches it at once: a user watching a
// long Fit or Minimize through a pipe or a file sees every try and every run
// when it happens, and a run ended by a signal leaves its report complete up
// to its last line. Set before the first output.
static void line_buffered(FILE *fp)
{
    setvbuf(fp, NULL, _IOLBF, 0);
}

static FILE *open_command_file(const char *name)
{
    FILE *f = fopen(name, "r");
    if (f == NULL) {
        fprintf(stderr, "Sorry, cannot open %s\n", name);
        exit(1);
    }
    return f;
}

// The text of "morla --help".
static void print_usage()
{
    printf("Usage:  morla                          commands typed at the prompt \"morla> \"\n"
           "        morla COMMANDFILE              commands from COMMANDFILE, the report on standard output\n"
           "        morla COMMANDFILE OUTPUTFILE   commands from COMMANDFILE, the report written to OUTPUTFILE\n"
           "        morla --help                   this text\n"
           "        morla --version                the version number\n"
           "The command \"Info\" lists the commands and options; the user guide (docs/guide.md)\n"
           "describes them. A matrix file whose name ends in .csv is read and written as CSV.\n");
}

// "morla --help" and "morla --version" answer and end the run (exit status
// 0) before anything else happens; every other single argument names the
// command file.
static void answer_query(const char *arg)
{
    if (strcmp(arg, "--help") == 0) {
        print_usage();
        exit(0);
    }
    if (strcmp(arg, "--version") == 0) {
        printf("MORLA %5.3f\n", VERSION);
        exit(0);
    }
}

void main_init(int argc, char **argv)
{
    if (argc == 2)
        answer_query(argv[1]);
    switch (argc - 1) {
    case 0:
        interactive = TRUE;
        break;
    case 1:
        interactive = FALSE;
        ifp = open_command_file(argv[1]);
        fprintf(ofp, "Reading commands from '%s'.\n", argv[1]);
        break;
    case 2:
        interactive = FALSE;
        ifp = open_command_file(argv[1]);
        // The report must not wipe the commands it is about to run.
        if (same_file(argv[1], argv[2])) {
            fprintf(stderr, "Sorry, %s is the command file; the report would overwrite it.\n", argv[2]);
            exit(1);
        }
        ofp = fopen(argv[2], "w");
        if (ofp == NULL) {
            ofp = stdout;
    line_buffered(stdout);
            nrerror("Sorry, can't write to outputfile.");
        }
        line_buffered(ofp);
        fprintf(ofp, "Reading commands from '%s'.\n", argv[1]);
        fprintf(ofp, "Writing commands to '%s'.\n", argv[2]);
        break;
    default:
        printf("Usage:  morla <inputfile  outputfile> \n");
        exit(1);
    }
    // No output command may replace the command file or the report.
    if (!interactive)
        protect_from_output(ifp);
    protect_from_output(ofp);
}

void output_header()
{
    fprintf(ofp, "      MORLA - Orvandel \n");
    fprintf(ofp, "                       (Version %5.3f)\n\n", VERSION);
}

int morla_main(int argc, char **argv)
{
    avoid_coredump();
    SPEED = 0;
    cputime(1, "");
    RandInit(10, 20, 1000);
    ofp = stdout;
    line_buffered(stdout);

    KrigModel *kr = (KrigModel *)malloc(sizeof(KrigModel));
    if (kr == NULL)
        nrerror("main realloc KrigModel Failure");
    NULL_KrigModel(kr);
    KrigArray *ka = (KrigArray *)malloc(sizeof(KrigArray));
    if (ka == NULL)
        nrerror("main realloc KrigArray Failure");
    NULL_KrigArray(ka);

    main_init(argc, argv);
    output_header();
    init_KrigModel(kr, 21, 2, 1);
    init_KrigArray(ka);
    strcpy(StopCrit, "tolerance");

    menu(&kr, ka);

    cputime(2, "Program");
    // A report that could not be written completely (a full disk, say) must
    // not end as a success.
    boolean report_lost = ferror(ofp) != 0;
    if (fclose(ofp) != 0)
        report_lost = TRUE;
    if (!interactive)
        fclose(ifp);
    free_Krig_cover(ka, kr);
    Minimize_release();
    if (report_lost) {
        fprintf(stderr, "Sorry, the report could not be written completely.\n");
        return 1;
    }
    // A batch run in which a command was refused or failed must not pass
    // for a success.
    if (!interactive && any_refused())
        return 1;
    return 0;
}
