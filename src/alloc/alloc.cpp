// Tracked allocation: fast and tracking modes, the three registries and the
// verifying allocate / reallocate / free primitive behind them.
#include "alloc/alloc.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "alloc/registry.h"
#include "numeric/nrerror.h"

int SPEED = 1;

int size_list = 0;
int size_int_list = 0;
int size_dlist = 0;

namespace {

// Serialises every use of the registries: the tries of a fit allocate from
// several threads at once.
std::recursive_mutex registry_lock;

// A fatal error inside a registry operation: the lock is given back first,
// for the fatal error may be held back and the thread go on (see
// set_fatal_trap). Every registry operation that fails holds the lock once.
[[noreturn]] void registry_fail(const char *text)
{
    registry_lock.unlock();
    nrerror(text);
}

// The fatal texts of one registry.
struct RegistryTexts {
    RegistryFailures bookkeeping;
    const char *alloc_existing, *alloc_failure, *realloc_missing, *realloc_oldn;
    const char *realloc_failure, *free_oldn, *free_missing, *code_bug;
};

enum RegistryKind { REAL_VECTORS, INT_VECTORS, ROW_ARRAYS };

// One registry with the size of the elements of its blocks and its texts.
struct Tracked {
    Registry reg;
    size_t elsize;
    RegistryKind kind;
    const RegistryTexts *texts;
};

const RegistryTexts real_texts = {
    {"add_list: Failure (1)", "add_list: Failure (3)", "add_list: Failure (4)", "add_list: Failure (5)",
     "add_list: Code Bug (size_list ==0, add=FALSE "},
    "generic_alloc: (1) Trying to allocate existing pointer. \n \t (2) Pointer not initialized to NULL",
    "generic_real_alloc: Failure.",
    "generic_alloc: Trying to reallocate nonexisting pointer.",
    "generic_alloc: Trying to reallocate with incorrect old n",
    "generic_alloc: realloc real Vector Failure.",
    "generic_alloc: Trying to free pointer with incorrect old n",
    "generic_alloc: (1) Trying to free nonexisting pointer. \n \t (2) Pointer reAssignment without change in list",
    "generic_alloc: Code Bug",
};

const RegistryTexts int_texts = {
    {"add_list: Failure (1)", "add_list: Failure (3)", "add_list: Failure (4)", "add_list: Failure (5)",
     "add_list: Code Bug (size_int_list ==0, add=FALSE "},
    "generic_alloc i: (1) Trying to allocate existing pointer. \n (2) Pointer not initialized to NULL ",
    "generic_real_alloc i: Failure.",
    "generic_alloc i: Trying to reallocate nonexisting pointer.",
    "generic_alloc i: Trying to reallocate with incorrect old n",
    "generic_alloc i: realloc real Vector Failure.",
    "generic_alloc i: Trying to free pointer with incorrect old n",
    "generic_alloc i: (1) Trying to free nonexisting pointer. \n (2) Pointer reassignment without change in list ",
    "generic_alloc i: Code Bug",
};

const RegistryTexts dptr_texts = {
    {"add_list dr: Failure (1)", "add_list dr: Failure (3)", "add_list dr: Failure (4)", "add_list dr: Failure (5)",
     "add_list dr: Code Bug (size_dlist ==0, add=FALSE "},
    "generic_alloc dr: (1) Trying to allocate existing pointer. \n (2) Pointer not initialized to NULL",
    "generic_real_alloc dr: Failure.",
    "generic_alloc dr: Trying to reallocate nonexisting pointer.",
    "generic_alloc dr: Trying to reallocate with incorrect old n",
    "generic_alloc dr: realloc real Vector Failure.",
    "generic_alloc dr:Trying to free pointer with incorrect old n",
    "generic_alloc dr: (1) Trying to free nonexisting pointer. \n (2) pointer reassignment without change in list",
    "generic_alloc dr: Code Bug.",
};

Tracked real_registry = {{NULL, NULL, 0, 0, NULL, 0, &size_list, &real_texts.bookkeeping},
                         sizeof(real), REAL_VECTORS, &real_texts};
Tracked int_registry = {{NULL, NULL, 0, 0, NULL, 0, &size_int_list, &int_texts.bookkeeping},
                        sizeof(int), INT_VECTORS, &int_texts};
Tracked dptr_registry = {{NULL, NULL, 0, 0, NULL, 0, &size_dlist, &dptr_texts.bookkeeping},
                         sizeof(real *), ROW_ARRAYS, &dptr_texts};

// Bytes of a block of n elements; a zero-size request still gets a block of
// its own, so that it can be released like any other.
size_t block_bytes(int n, size_t elsize)
{
    size_t bytes = (size_t)n * elsize;
    return bytes > 0 ? bytes : 1;
}

// 0: address not registered; 1: registered with count n; 2: with another
// count (the row-pointer registry then names the entry on standard output).
// *slot receives the entry's slot, or -1.
int seek(const Tracked &t, int n, void *address, int *slot)
{
    std::lock_guard<std::recursive_mutex> guard(registry_lock);
    *slot = registry_find(&t.reg, address);
    if (*slot < 0)
        return 0;
    int registered = t.reg.count[*slot];
    if (registered == n)
        return 1;
    if (t.kind == ROW_ARRAYS)
        printf("dpointer: %p old n %d #elem %d\n", address, registered, registry_position(&t.reg, *slot));
    return 2;
}

// The single verifying primitive of tracking mode: allocate (oldn = 0),
// reallocate (both counts set) or free (newn = 0) a registered block.
void *generic_alloc(Tracked &t, int oldn, void *address, int newn)
{
    std::lock_guard<std::recursive_mutex> guard(registry_lock);
    const RegistryTexts *x = t.texts;
    int slot = -1;
    int found = address != NULL ? seek(t, oldn, address, &slot) : 0;

    if (oldn == 0 && newn != 0) {
        if (found != 0)
            registry_fail(x->alloc_existing);
        void *block = malloc(block_bytes(newn, t.elsize));
        if (block == NULL)
            registry_fail(x->alloc_failure);
        registry_add(&t.reg, block, newn);
        return block;
    }
    if (oldn != 0 && newn != 0 && address != NULL) {
        if (found == 0)
            registry_fail(x->realloc_missing);
        if (found == 2) {
            if (t.kind == ROW_ARRAYS)
                print_dlist(" ");
            registry_fail(x->realloc_oldn);
        }
        registry_remove(&t.reg, slot);
        void *block = realloc(address, block_bytes(newn, t.elsize));
        if (block == NULL)
            registry_fail(x->realloc_failure);
        registry_add(&t.reg, block, newn);
        return block;
    }
    boolean is_free = oldn != 0 && newn == 0 && (address != NULL || t.kind == REAL_VECTORS);
    if (is_free) {
        if (found == 2)
            registry_fail(x->free_oldn);
        if (found == 0)
            registry_fail(x->free_missing);
        registry_remove(&t.reg, slot);
        free(address);
        return NULL;
    }
    if (t.kind == REAL_VECTORS)
        fprintf(stderr, "oldn: %d newn: %d vec address: %p seek: %d\n", oldn, newn, address, found);
    registry_fail(x->code_bug);
}

void *plain_alloc(size_t bytes, const char *failure)
{
    void *block = malloc(bytes > 0 ? bytes : 1);
    if (block == NULL)
        nrerror(failure);
    return block;
}

void *plain_realloc(void *block, size_t bytes, const char *failure)
{
    void *moved = realloc(block, bytes > 0 ? bytes : 1);
    if (moved == NULL)
        nrerror(failure);
    return moved;
}

// A matrix of rows of `rowbytes` bytes each, always on the plain heap.
void **plain_matrix(int m, size_t rowbytes, const char *fail_array, const char *fail_row)
{
    void **rows = (void **)plain_alloc((size_t)m * sizeof(void *), fail_array);
    for (int i = 0; i < m; i++)
        rows[i] = plain_alloc(rowbytes, fail_row);
    return rows;
}

void free_plain_matrix(int m, void **rows)
{
    if (rows == NULL)
        return;
    for (int i = 0; i < m; i++)
        free(rows[i]);
    free(rows);
}

// Texts of the plain-heap matrix resize, by element kind.
struct MatrixResizeTexts {
    const char *zero, *fail1, *fail2, *fail3, *fail4, *fail5;
};

const MatrixResizeTexts real_matrix_resize = {
    "realloc real matrix: 0 columns and / or 0 rows",
    "realloc real mat: Allocation failure (1)",
    "realloc real mat: Allocation failure (2)",
    "realloc real mat: Allocation failure (3)",
    "realloc real mat: Allocation failure (4)",
    "realloc real mat: Allocation failure (5)",
};

const MatrixResizeTexts string_matrix_resize = {
    "realloc  string matrix: 0 columns and / or 0 rows",
    "realloc string mat: Allocation failure (1)",
    "realloc string mat: Allocation failure (2)",
    "realloc string mat: Allocation failure (3)",
    "realloc string  mat: Allocation failure (4)",
    "realloc string mat: Allocation failure (5)",
};

// Plain-heap resize of a matrix of rows of `elsize`-byte elements: rows kept
// are resized, rows dropped released, rows added allocated, in the order that
// keeps every step's failure distinguishable. Kept rows whose length does not
// change are left as they are, so that adding or dropping rows costs nothing
// per kept row (a matrix grown a few rows at a time stays linear).
void **plain_matrix_resize(int oldm, int oldn, void **rows, int newm, int newn, size_t elsize,
                           const MatrixResizeTexts &t)
{
    size_t rowbytes = (size_t)newn * elsize;
    boolean same_rows = newn == oldn;
    if (newm < oldm) {
        for (int i = 0; i < newm && !same_rows; i++)
            rows[i] = plain_realloc(rows[i], rowbytes, t.fail1);
        for (int i = newm; i < oldm; i++)
            free(rows[i]);
        rows = (void **)plain_realloc(rows, (size_t)newm * sizeof(void *), t.fail2);
    } else {
        rows = (void **)plain_realloc(rows, (size_t)newm * sizeof(void *), t.fail3);
        for (int i = 0; i < oldm && !same_rows; i++)
            rows[i] = plain_realloc(rows[i], rowbytes, t.fail4);
        for (int i = oldm; i < newm; i++)
            rows[i] = plain_alloc(rowbytes, t.fail5);
    }
    return rows;
}

} // namespace

int seek_list(int n, void *address)
{
    int slot;
    return seek(real_registry, n, address, &slot);
}

int seek_int_list(int n, void *address)
{
    int slot;
    return seek(int_registry, n, address, &slot);
}

int seek_dlist(int n, void *address)
{
    int slot;
    return seek(dptr_registry, n, address, &slot);
}

boolean registered_entry(char kind, int k, void **address, int *n)
{
    const Tracked &t = kind == 'i' ? int_registry : kind == 'd' ? dptr_registry : real_registry;
    return registry_entry(&t.reg, k, address, n);
}

void reset_registries()
{
    registry_clear(&real_registry.reg);
    registry_clear(&int_registry.reg);
    registry_clear(&dptr_registry.reg);
}

void print_dlist(const char *comment)
{
    std::lock_guard<std::recursive_mutex> guard(registry_lock);
    printf("Double Pointer List: %s \n", comment);
    void *address;
    int n;
    for (int k = 0; registry_entry(&dptr_registry.reg, k, &address, &n); k++)
        printf("%p %d ", address, n);
    printf("\n");
}

// ---- allocation ----

void alloc(int m, int n, real ***mat)
{
    if (SPEED) {
        real **rows = (real **)plain_alloc((size_t)m * sizeof(real *), "alloc real Matrix Failure (1)");
        for (int i = 0; i < m; i++)
            rows[i] = (real *)plain_alloc((size_t)n * sizeof(real), "alloc real Matrix Failure (2)");
        *mat = rows;
        return;
    }
    boolean exists;
    {
        std::lock_guard<std::recursive_mutex> guard(registry_lock);
        exists = registry_find(&dptr_registry.reg, *mat) >= 0;
    }
    if (exists)
        nrerror("alloc_real_matrix:Trying to allocate existing matrix pointer.");
    real **rows = (real **)generic_alloc(dptr_registry, 0, *mat, m);
    for (int i = 0; i < m; i++) {
        rows[i] = NULL;
        rows[i] = (real *)generic_alloc(real_registry, 0, NULL, n);
    }
    *mat = rows;
}

void alloc(int m, int n, char ***mat)
{
    *mat = (char **)plain_matrix(m, (size_t)n, "alloc char Matrix Failure (1)", "alloc char Matrix Failure (2)");
}

void alloc(int m, int n, string ***mat)
{
    *mat = (string **)plain_matrix(m, (size_t)n * sizeof(string), "alloc string Matrix Failure (1)",
                                   "alloc string Matrix Failure (2)");
}

void alloc(int n, int **vec)
{
    if (n == 0)
        nrerror("alloc_int_vector: dimensions == 0");
    if (SPEED)
        *vec = (int *)plain_alloc((size_t)n * sizeof(int), "alloc_int_vector: Failure.");
    else
        *vec = (int *)generic_alloc(int_registry, 0, *vec, n);
}

void alloc(int n, real **vec)
{
    if (n == 0)
        nrerror("alloc_real_vector: dimensions == 0");
    if (SPEED)
        *vec = (real *)plain_alloc((size_t)n * sizeof(real), "alloc_real_vector: Failure.");
    else
        *vec = (real *)generic_alloc(real_registry, 0, *vec, n);
}

void alloc(int n, char **vec)
{
    if (n == 0)
        nrerror("alloc_char_vector: dimensions == 0");
    *vec = (char *)plain_alloc((size_t)n, "alloc_char_vector: Failure.");
}

void alloc(int n, string **vec)
{
    if (n == 0)
        nrerror("alloc string vector: dimensions == 0");
    *vec = (string *)plain_alloc((size_t)n * sizeof(string), "alloc string vector: Failure.");
}

// ---- release ----
// Every release leaves the caller's variable null, in both modes, so that a
// released block can never be reached or released again through it.

void frei(int n, int **vec)
{
    if (SPEED)
        free(*vec);
    else
        generic_alloc(int_registry, n, *vec, 0);
    *vec = NULL;
}

void frei(int n, real **vec)
{
    if (SPEED)
        free(*vec);
    else
        generic_alloc(real_registry, n, *vec, 0);
    *vec = NULL;
}

void frei(int n, char **vec)
{
    (void)n;
    free(*vec);
    *vec = NULL;
}

void frei(int n, string **vec)
{
    (void)n;
    free(*vec);
    *vec = NULL;
}

void frei(int m, int n, real ***mat)
{
    real **rows = *mat;
    if (SPEED) {
        if (rows != NULL) {
            for (int i = 0; i < m; i++)
                free(rows[i]);
            free(rows);
        }
    } else {
        for (int i = 0; i < m; i++)
            generic_alloc(real_registry, n, rows[i], 0);
        generic_alloc(dptr_registry, m, rows, 0);
    }
    *mat = NULL;
}

void frei(int m, int n, char ***mat)
{
    (void)n;
    free_plain_matrix(m, (void **)*mat);
    *mat = NULL;
}

void frei(int m, int n, string ***mat)
{
    (void)n;
    free_plain_matrix(m, (void **)*mat);
    *mat = NULL;
}

// ---- resize ----

void morealloc(int oldn, real **vec, int newn)
{
    if (newn == 0)
        nrerror("morealloc: dimensions == 0");
    if (SPEED)
        *vec = (real *)plain_realloc(*vec, (size_t)newn * sizeof(real), "realloc real Vector Failure.");
    else
        *vec = (real *)generic_alloc(real_registry, oldn, *vec, newn);
}

void morealloc(int oldn, int **vec, int newn)
{
    if (newn == 0)
        nrerror("realloc_int_vector: dimensions == 0");
    if (SPEED)
        *vec = (int *)plain_realloc(*vec, (size_t)newn * sizeof(int), "realloc int Vector Failure.");
    else
        *vec = (int *)generic_alloc(int_registry, oldn, *vec, newn);
}

void morealloc(int oldn, string **vec, int newn)
{
    (void)oldn;
    if (newn == 0)
        nrerror("realloc_string_vector: dimensions == 0");
    *vec = (string *)plain_realloc(*vec, (size_t)newn * sizeof(string), "realloc string Vector Failure.");
}

void morealloc(int oldm, int oldn, real ***mat, int newm, int newn)
{
    if (oldm == 0 || oldn == 0 || newm == 0 || newn == 0)
        nrerror(real_matrix_resize.zero);
    if (SPEED) {
        *mat = (real **)plain_matrix_resize(oldm, oldn, (void **)*mat, newm, newn, sizeof(real),
                                            real_matrix_resize);
        return;
    }
    real **rows = *mat;
    if (newm < oldm) {
        for (int i = 0; i < newm; i++)
            rows[i] = (real *)generic_alloc(real_registry, oldn, rows[i], newn);
        for (int i = newm; i < oldm; i++)
            generic_alloc(real_registry, oldn, rows[i], 0);
        rows = (real **)generic_alloc(dptr_registry, oldm, rows, newm);
    } else {
        rows = (real **)generic_alloc(dptr_registry, oldm, rows, newm);
        for (int i = 0; i < oldm; i++)
            rows[i] = (real *)generic_alloc(real_registry, oldn, rows[i], newn);
        for (int i = oldm; i < newm; i++) {
            rows[i] = NULL;
            rows[i] = (real *)generic_alloc(real_registry, 0, NULL, newn);
        }
    }
    *mat = rows;
}

void morealloc(int oldm, int oldn, string ***mat, int newm, int newn)
{
    if (oldm == 0 || oldn == 0 || newm == 0 || newn == 0)
        nrerror(string_matrix_resize.zero);
    *mat = (string **)plain_matrix_resize(oldm, oldn, (void **)*mat, newm, newn, sizeof(string),
                                          string_matrix_resize);
}
