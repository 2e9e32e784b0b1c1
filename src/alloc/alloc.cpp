// Tracked allocation: fast and tracking modes, the three registries and the
// verifying allocate / reallocate / free primitive behind them.
#include "alloc/alloc.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "numeric/nrerror.h"

int SPEED = 1;

void **ptr_list = NULL;
int *ptr_size = NULL;
int size_list = 0;
void **ptr_int_list = NULL;
int *ptr_int_size = NULL;
int size_int_list = 0;
void **dptr_list = NULL;
int *dptr_size = NULL;
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
    const char *add_fail1, *add_fail3, *add_fail4, *add_fail5, *remove_empty;
    const char *alloc_existing, *alloc_failure, *realloc_missing, *realloc_oldn;
    const char *realloc_failure, *free_oldn, *free_missing, *code_bug;
};

enum RegistryKind { REAL_VECTORS, INT_VECTORS, ROW_ARRAYS };

// One registry: its three globals, the size of the elements of its blocks and
// its texts.
struct Registry {
    void ***addr;
    int **count;
    int *entries;
    size_t elsize;
    RegistryKind kind;
    const RegistryTexts *texts;
};

const RegistryTexts real_texts = {
    "add_list: Failure (1)",
    "add_list: Failure (3)",
    "add_list: Failure (4)",
    "add_list: Failure (5)",
    "add_list: Code Bug (size_list ==0, add=FALSE ",
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
    "add_list: Failure (1)",
    "add_list: Failure (3)",
    "add_list: Failure (4)",
    "add_list: Failure (5)",
    "add_list: Code Bug (size_int_list ==0, add=FALSE ",
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
    "add_list dr: Failure (1)",
    "add_list dr: Failure (3)",
    "add_list dr: Failure (4)",
    "add_list dr: Failure (5)",
    "add_list dr: Code Bug (size_dlist ==0, add=FALSE ",
    "generic_alloc dr: (1) Trying to allocate existing pointer. \n (2) Pointer not initialized to NULL",
    "generic_real_alloc dr: Failure.",
    "generic_alloc dr: Trying to reallocate nonexisting pointer.",
    "generic_alloc dr: Trying to reallocate with incorrect old n",
    "generic_alloc dr: realloc real Vector Failure.",
    "generic_alloc dr:Trying to free pointer with incorrect old n",
    "generic_alloc dr: (1) Trying to free nonexisting pointer. \n (2) pointer reassignment without change in list",
    "generic_alloc dr: Code Bug.",
};

Registry real_registry = {&ptr_list, &ptr_size, &size_list, sizeof(real), REAL_VECTORS, &real_texts};
Registry int_registry = {&ptr_int_list, &ptr_int_size, &size_int_list, sizeof(int), INT_VECTORS,
                         &int_texts};
Registry dptr_registry = {&dptr_list, &dptr_size, &size_dlist, sizeof(real *), ROW_ARRAYS, &dptr_texts};

// Bytes of a block of n elements; a zero-size request still gets a block of
// its own, so that it can be released like any other.
size_t block_bytes(int n, size_t elsize)
{
    size_t bytes = (size_t)n * elsize;
    return bytes > 0 ? bytes : 1;
}

int seek(const Registry &reg, int n, void *address)
{
    std::lock_guard<std::recursive_mutex> guard(registry_lock);
    for (int i = 0; i < *reg.entries; i++) {
        if ((*reg.addr)[i] != address)
            continue;
        if ((*reg.count)[i] == n)
            return 1;
        if (reg.kind == ROW_ARRAYS)
            printf("dpointer: %p old n %d #elem %d\n", address, (*reg.count)[i], i + 1);
        return 2;
    }
    return 0;
}

// Appends (address, n), or removes the entry of address (already verified to
// be registered), keeping the order of the others.
void add_list(Registry &reg, boolean add, int n, void *address)
{
    const RegistryTexts *t = reg.texts;
    int old = *reg.entries;
    if (add && old == 0) {
        *reg.addr = (void **)malloc(sizeof(void *));
        if (*reg.addr == NULL)
            registry_fail(t->add_fail1);
        *reg.count = (int *)malloc(sizeof(int));
        if (*reg.count == NULL)
            registry_fail(t->add_fail3);
        (*reg.addr)[0] = address;
        (*reg.count)[0] = n;
        *reg.entries = 1;
        return;
    }
    if (!add && old == 1) {
        free(*reg.count);
        free(*reg.addr);
        *reg.count = NULL;
        *reg.addr = NULL;
        *reg.entries = 0;
        return;
    }
    if (!add && old == 0)
        registry_fail(t->remove_empty);

    int now = add ? old + 1 : old - 1;
    if (!add) {
        boolean moving = FALSE;
        for (int i = 0; i < old; i++) {
            if (moving) {
                (*reg.addr)[i - 1] = (*reg.addr)[i];
                (*reg.count)[i - 1] = (*reg.count)[i];
            } else if ((*reg.addr)[i] == address) {
                moving = TRUE;
            }
        }
    }
    int *count = (int *)realloc(*reg.count, (size_t)now * sizeof(int));
    if (count == NULL)
        registry_fail(t->add_fail4);
    *reg.count = count;
    void **addr = (void **)realloc(*reg.addr, (size_t)now * sizeof(void *));
    if (addr == NULL)
        registry_fail(t->add_fail5);
    *reg.addr = addr;
    *reg.entries = now;
    if (add) {
        addr[now - 1] = address;
        count[now - 1] = n;
    }
}

// The single verifying primitive of tracking mode: allocate (oldn = 0),
// reallocate (both counts set) or free (newn = 0) a registered block.
void *generic_alloc(Registry &reg, int oldn, void *address, int newn)
{
    std::lock_guard<std::recursive_mutex> guard(registry_lock);
    const RegistryTexts *t = reg.texts;
    int found = address != NULL ? seek(reg, oldn, address) : 0;

    if (oldn == 0 && newn != 0) {
        if (found != 0)
            registry_fail(t->alloc_existing);
        void *block = malloc(block_bytes(newn, reg.elsize));
        if (block == NULL)
            registry_fail(t->alloc_failure);
        add_list(reg, TRUE, newn, block);
        return block;
    }
    if (oldn != 0 && newn != 0 && address != NULL) {
        if (found == 0)
            registry_fail(t->realloc_missing);
        if (found == 2) {
            if (reg.kind == ROW_ARRAYS)
                print_dlist(" ");
            registry_fail(t->realloc_oldn);
        }
        add_list(reg, FALSE, oldn, address);
        void *block = realloc(address, block_bytes(newn, reg.elsize));
        if (block == NULL)
            registry_fail(t->realloc_failure);
        add_list(reg, TRUE, newn, block);
        return block;
    }
    boolean is_free = oldn != 0 && newn == 0 && (address != NULL || reg.kind == REAL_VECTORS);
    if (is_free) {
        if (found == 2)
            registry_fail(t->free_oldn);
        if (found == 0)
            registry_fail(t->free_missing);
        add_list(reg, FALSE, oldn, address);
        free(address);
        return NULL;
    }
    if (reg.kind == REAL_VECTORS)
        fprintf(stderr, "oldn: %d newn: %d vec address: %p seek: %d\n", oldn, newn, address, found);
    registry_fail(t->code_bug);
}

boolean registered_any(const Registry &reg, void *address)
{
    std::lock_guard<std::recursive_mutex> guard(registry_lock);
    for (int i = 0; i < *reg.entries; i++)
        if ((*reg.addr)[i] == address)
            return TRUE;
    return FALSE;
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

int seek_list(int n, void *address) { return seek(real_registry, n, address); }
int seek_int_list(int n, void *address) { return seek(int_registry, n, address); }
int seek_dlist(int n, void *address) { return seek(dptr_registry, n, address); }

void print_dlist(const char *comment)
{
    printf("Double Pointer List: %s \n", comment);
    for (int i = 0; i < size_dlist; i++)
        printf("%p %d ", dptr_list[i], dptr_size[i]);
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
    if (*mat != NULL && registered_any(dptr_registry, *mat))
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
