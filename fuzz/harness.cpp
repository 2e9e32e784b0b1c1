// Shared harness of the fuzzing targets: guarded runs, the scratch directory
// and the store of valid objects. In the program's own code (a copy of its
// library made for the fuzzing build) exit, malloc, calloc, realloc, free,
// fopen, fclose and fork are renamed to the morla_fuzz_ functions below; the
// targets are linked with --wrap for both forms of nrerror.
#include "harness.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "alloc/alloc.h"
#include "minimize/criterion.h"
#include "kriging/predict.h"
#include "matfile/readdesign.h"
#include "matfile/readmodel.h"
#include "model/krigmodel.h"
#include "numeric/nrerror.h"
#include "numeric/simplex.h"

extern "C" {
[[noreturn]] void __real__Z7nrerrorPKc(const char *text);
[[noreturn]] void __real__Z7nrerrorPKcdS0_(const char *text, double value, const char *label);
}

namespace {

// ---- the valid files of the scratch directory ----

struct ValidFile {
    const char *name;
    const char *text;
};

const ValidFile valid_files[] = {
    {"design.mat", "Version 1.304 \nX Matrix \n\n------------------------------\n Case          a           b \n"
                   "------------------------------\n    1     0.05000     0.10000  \n    2     0.20000     0.85000  \n"
                   "    3     0.35000     0.40000  \n    4     0.50000     0.95000  \n    5     0.65000     0.15000  \n"
                   "    6     0.80000     0.60000  \n"},
    {"resp.mat", "------------------\n Case   f   g \n------------------\n 1  2.29 0.15\n 2  2.59 1.28\n"
                 " 3  3.05 NA\n 4  2.53 1.89\n 5  2.85 0.95\n 6  3.61 1.03\n"},
    {"ranges.mat", "-----------------\nVariable Min Max\n-----------------\n a 0 1\n b 0 1\n"},
    {"corpar.mat", "--------------------\nVariable Theta.f Alpha.f Theta.g Alpha.g\n--------------------\n"
                   " a 1.5 0.5 4.0 0.0\n b 3.0 0.2 2.5 1.0\n"},
    {"beta.mat", "--------------------\nVariable Term Coefficients\n--------------------\n f 1 2.7\n g 1 1.1\n"},
    {"ydescrip.mat", "----------------------\nVariable StochasticProcessVariance ErrorVariance Min Max Constraint\n"
                     "----------------------\n f 0.4 0.1 NA 3.2 TRUE\n g 2 0 NA NA FALSE\n"},
    {"points.mat", "-----------\n a b\n-----------\n 0.05 0.10\n 0.3 0.3\n 0.9 0.9\n"},
};

// Other names the command files of the seed corpus use for the same files.
const ValidFile aliases[] = {
    {"responses.mat", "resp.mat"}, {"regression.mat", "beta.mat"}, {"pts.mat", "points.mat"},
    {"newpoints.mat", "points.mat"}, {"xdescrip.mat", "ranges.mat"},
};
const int VALID_COUNT = sizeof valid_files / sizeof valid_files[0];

void write_text(const char *name, const char *text, size_t size)
{
    FILE *fp = fopen(name, "w");
    if (fp == NULL || fwrite(text, 1, size, fp) != size) {
        perror(name);
        abort();
    }
    fclose(fp);
}

// ---- the live blocks and open files of a run ----

boolean armed = FALSE;   // a guarded run is in progress
jmp_buf run_end;         // where a fatal exit returns to
int exit_status = 0;

// Blocks obtained during the run: open addressing, 0 empty, 1 removed.
// The helper threads of Fit and Predict allocate too: the table has a lock.
std::mutex live_lock;
void **live = NULL;
size_t live_cap = 0, live_used = 0;

size_t slot_of(void *p, size_t cap) { return ((uintptr_t)p >> 4) * 0x9E3779B97F4A7C15ull >> 40 & (cap - 1); }

void track(void *p)
{
    if (p == NULL)
        return;
    std::lock_guard<std::mutex> guard(live_lock);
    if (2 * (live_used + 1) > live_cap) {
        size_t cap = live_cap == 0 ? 1024 : 2 * live_cap;
        void **table = (void **)calloc(cap, sizeof(void *));
        for (size_t i = 0; i < live_cap; i++)
            if ((uintptr_t)live[i] > 1)
                for (size_t k = slot_of(live[i], cap);; k = (k + 1) & (cap - 1))
                    if (table[k] == NULL) {
                        table[k] = live[i];
                        break;
                    }
        free(live);
        live = table;
        live_cap = cap;
    }
    size_t k = slot_of(p, live_cap);
    while ((uintptr_t)live[k] > 1)
        k = (k + 1) & (live_cap - 1);
    live[k] = p;
    live_used++;
}

void untrack(void *p)
{
    std::lock_guard<std::mutex> guard(live_lock);
    if (p == NULL || live_cap == 0)
        return;
    for (size_t k = slot_of(p, live_cap); live[k] != NULL; k = (k + 1) & (live_cap - 1))
        if (live[k] == p) {
            live[k] = (void *)1;
            return;
        }
}

// Releases every block still tracked and empties the table.
void sweep_blocks()
{
    for (size_t i = 0; i < live_cap; i++)
        if ((uintptr_t)live[i] > 1)
            free(live[i]);
    free(live);
    live = NULL;
    live_cap = live_used = 0;
}

std::mutex files_lock;
const int MAX_OPEN = 64;
FILE *open_files[MAX_OPEN];
int open_count = 0;
boolean wrote_files = FALSE;

void close_open_files()
{
    while (open_count > 0)
        fclose(open_files[--open_count]);
}

// Files a run wrote: valid files get their text back, others go.
void restore_directory()
{
    DIR *dir = opendir(".");
    if (dir == NULL)
        abort();
    while (struct dirent *e = readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        boolean valid = FALSE;
        for (int i = 0; i < VALID_COUNT; i++)
            valid |= strcmp(e->d_name, valid_files[i].name) == 0;
        for (const ValidFile &a : aliases)
            valid |= strcmp(e->d_name, a.name) == 0;
        if (!valid && strncmp(e->d_name, "input", 5) != 0)
            unlink(e->d_name);
    }
    closedir(dir);
    for (int i = 0; i < VALID_COUNT; i++)
        write_text(valid_files[i].name, valid_files[i].text, strlen(valid_files[i].text));
    for (const ValidFile &a : aliases)
        for (int i = 0; i < VALID_COUNT; i++)
            if (strcmp(a.text, valid_files[i].name) == 0)
                write_text(a.name, valid_files[i].text, strlen(valid_files[i].text));
    wrote_files = FALSE;
}

boolean is_defect(const char *text)
{
    static const char *const markers[] = {"generic_alloc", "add_list", "alloc_real_matrix:Trying", "Code Bug",
                                          "code bug", "Code bug", "dimensions == 0", "0 columns and / or 0 rows"};
    for (const char *m : markers)
        if (strstr(text, m) != NULL)
            return TRUE;
    return FALSE;
}

} // namespace

// ---- what the program calls in place of exit, the heap, fopen, fclose and fork ----

extern "C" {

void morla_fuzz_exit(int status)
{
    if (!armed)
        exit(status);
    exit_status = status;
    longjmp(run_end, 1);
}

void *morla_fuzz_malloc(size_t size)
{
    void *p = malloc(size);
    if (armed)
        track(p);
    return p;
}

void *morla_fuzz_calloc(size_t n, size_t size)
{
    void *p = calloc(n, size);
    if (armed)
        track(p);
    return p;
}

void *morla_fuzz_realloc(void *old, size_t size)
{
    void *p = realloc(old, size);
    if (armed && p != NULL) {
        untrack(old);
        track(p);
    }
    return p;
}

void morla_fuzz_free(void *p)
{
    if (armed)
        untrack(p);
    free(p);
}

FILE *morla_fuzz_fopen(const char *name, const char *mode)
{
    std::lock_guard<std::mutex> guard(files_lock);
    if (strchr(name, '/') != NULL || open_count == MAX_OPEN) {
        errno = EACCES;
        return NULL;
    }
    FILE *fp = fopen(name, mode);
    if (fp != NULL && armed) {
        open_files[open_count++] = fp;
        wrote_files |= strchr(mode, 'r') == NULL;
    }
    return fp;
}

int morla_fuzz_fclose(FILE *fp)
{
    std::lock_guard<std::mutex> guard(files_lock);
    for (int i = 0; i < open_count; i++)
        if (open_files[i] == fp) {
            open_files[i] = open_files[--open_count];
            break;
        }
    return fclose(fp);
}

pid_t morla_fuzz_fork()
{
    errno = EAGAIN;
    return -1;
}

void __wrap__Z7nrerrorPKc(const char *text)
{
    if (is_defect(text)) {
        fprintf(stderr, "fatal error that reports a defect: %s\n", text);
        abort();
    }
    __real__Z7nrerrorPKc(text);
}

void __wrap__Z7nrerrorPKcdS0_(const char *text, double value, const char *label)
{
    if (is_defect(text)) {
        fprintf(stderr, "fatal error that reports a defect: %s\n", text);
        abort();
    }
    __real__Z7nrerrorPKcdS0_(text, value, label);
}

} // extern "C"

// ---- the harness ----

void harness_init()
{
    static boolean done = FALSE;
    if (done)
        return;
    done = TRUE;
    char dir[] = "/tmp/morla-fuzz-XXXXXX";
    if (mkdtemp(dir) == NULL || chdir(dir) != 0) {
        perror("scratch directory");
        abort();
    }
    restore_directory();
    // Standard output (a few messages and listings go there) is discarded.
    int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd < 0 || dup2(null_fd, 1) < 0)
        abort();
    if (null_fd != 1)
        close(null_fd);
    ofp = fopen("/dev/null", "w");
    if (ofp == NULL)
        abort();
}

int guarded_run(void (*fn)(void *), void *arg)
{
    reset_registries();
    SPEED = 1;
    exit_status = 0;
    armed = TRUE;
    if (setjmp(run_end) == 0) {
        fn(arg);
        // Blocks obtained in tracking mode and released in fast mode stay
        // registered: the registries' storage goes with the run.
        reset_registries();
        armed = FALSE;
        // What the run kept is its own to release (or a leak to report).
        free(live);
        live = NULL;
        live_cap = live_used = 0;
    } else {
        // The end of the process: nothing of the run survives it. The
        // registries release their storage while it is still tracked.
        reset_registries();
        armed = FALSE;
        forget_krigblup_anyXY();
        criterion_forget();
        Minimize_forget();
        close_open_files();
        sweep_blocks();
    }
    SPEED = 1;
    if (wrote_files)
        restore_directory();
    return exit_status;
}

void write_input(const char *name, const uint8_t *data, size_t size)
{
    write_text(name, (const char *)data, size);
}

void make_store(KrigModel **kr, KrigArray **ka, int level, int speed)
{
    SPEED = speed;
    *kr = (KrigModel *)morla_fuzz_malloc(sizeof(KrigModel));
    *ka = (KrigArray *)morla_fuzz_malloc(sizeof(KrigArray));
    NULL_KrigModel(*kr);
    NULL_KrigArray(*ka);
    init_KrigModel(*kr, 21, 2, 1);
    init_KrigArray(*ka);
    int failed = 0;
    if (level >= 1)
        failed |= read_x(*kr, *ka, "design.mat");
    if (level >= 2)
        failed |= read_y(kr, *ka, "resp.mat");
    if (level >= 3) {
        failed |= read_xdescrip(*kr, *ka, "ranges.mat");
        failed |= read_corpar(*kr, *ka, "corpar.mat");
        failed |= read_beta(kr, *ka, "beta.mat");
        failed |= read_ydescrip(kr, *ka, "ydescrip.mat");
    }
    if (failed) {
        fprintf(stderr, "a valid file of the harness was refused\n");
        abort();
    }
}

void free_store(KrigModel *kr, KrigArray *ka)
{
    free_Krig_cover(ka, kr);
}
