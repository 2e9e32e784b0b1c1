// Tracked allocation: every vector and matrix of the system is obtained,
// resized and released here, by element kind and shape.
//
// A vector is one heap block; a matrix is a block of row pointers with every
// row its own block, addressed mat[row][column] from 0. Blocks do not record
// their sizes: callers pass the counts back to `morealloc` and `frei`.
//
// Two modes, fixed for the run after the first command:
//  - fast mode (SPEED = 1): plain heap calls;
//  - tracking mode (SPEED = 0): every real vector, every int vector, every row
//    of a real matrix and the row-pointer array of every real matrix is entered
//    with its element count in a registry, and every resize or release must
//    name a registered block with its registered count; any mismatch is fatal.
// char and string blocks are never registered.
//
// The pointer argument is the address of the caller's variable, which the
// operation overwrites: with the new block, or with null after a release.
#ifndef MORLA_ALLOC_H
#define MORLA_ALLOC_H

#include "general.h"

// Allocation mode: 1 fast, 0 tracking.
extern int SPEED;

// Live entries of the registries of tracking mode (src/alloc/registry.h):
extern int size_list;         // real vectors and rows of real matrices
extern int size_int_list;     // int vectors
extern int size_dlist;        // row-pointer arrays of real matrices

void alloc(int m, int n, real ***mat);
void alloc(int m, int n, char ***mat);
void alloc(int m, int n, string ***mat);
void alloc(int n, int **vec);
void alloc(int n, real **vec);
void alloc(int n, char **vec);
void alloc(int n, string **vec);

void frei(int n, int **vec);
void frei(int n, real **vec);
void frei(int n, char **vec);
void frei(int n, string **vec);
void frei(int m, int n, real ***mat);
void frei(int m, int n, char ***mat);
void frei(int m, int n, string ***mat);

// Resize, keeping the first min(old, new) elements (rows and columns for a
// matrix); added elements are not cleared.
void morealloc(int oldn, real **vec, int newn);
void morealloc(int oldn, int **vec, int newn);
void morealloc(int oldn, string **vec, int newn);
void morealloc(int oldm, int oldn, real ***mat, int newm, int newn);
void morealloc(int oldm, int oldn, string ***mat, int newm, int newn);

// Registry internals, exposed for the tests.
// seek: 0 not registered, 1 registered with count n, 2 with another count.
int seek_list(int n, void *address);
int seek_int_list(int n, void *address);
int seek_dlist(int n, void *address);
// Lists the row-pointer registry on standard output.
void print_dlist(const char *comment);
// Empties the three registries without releasing the blocks they hold: for a
// run that starts afresh within the same process (the fuzzing harness, after
// a run that a fatal error ended and whose blocks it has released).
void reset_registries();
// The k-th live entry (k from 0, in order of registration) of the registry
// of real vectors ('r'), int vectors ('i') or row-pointer arrays ('d'): its
// address and count; FALSE when there is none.
boolean registered_entry(char kind, int k, void **address, int *n);

#endif
