// Program start-up, the command-line forms and the orderly end.
#include "interp/startup.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "alloc/alloc.h"
#include "interp/menu.h"
#include "interp/options.h"
#include "numeric/simplex.h"
#include "numeric/unix.h"
#include "model/krigmodel.h"
#include "numeric/nrerror.h"
#include "numeric/unif.h"

static void exit_on_signal(int signum)
{
    exit(signum);
}

void avoid_coredump()
{
    signal(SIGSEGV, exit_on_signal);
    signal(SIGBUS, exit_on_signal);
    signal(SIGFPE, exit_on_signal);
    signal(SIGTERM, exit_on_signal);
    // An interrupt from the keyboard ends the run the same way, so that the
    // report written so far is not lost with the buffer.
    signal(SIGINT, exit_on_signal);
}

// Each line of the report reaches a pipe or a file as soon as it is written,
// so that a user watching a long Fit or Minimize sees every try and every
// run when it happens.
static void stream_report_lines()
{
    setvbuf(ofp, NULL, _IOLBF, BUFSIZ);
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
        ofp = fopen(argv[2], "w");
        if (ofp == NULL) {
            ofp = stdout;
            nrerror("Sorry, can't write to outputfile.");
        }
        stream_report_lines();
        fprintf(ofp, "Reading commands from '%s'.\n", argv[1]);
        fprintf(ofp, "Writing commands to '%s'.\n", argv[2]);
        break;
    default:
        printf("Usage:  morla <inputfile  outputfile> \n");
        exit(1);
    }
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
    stream_report_lines();

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
    return 0;
}
