// Shared type names used by every subsystem: the real number, the integer
// flag and the fixed 30-byte text field that holds every label and name.
#ifndef MORLA_GENERAL_H
#define MORLA_GENERAL_H

typedef double real;
typedef int boolean;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// A label: 29 characters and the terminator.
#define STRING_LEN 30
typedef char string[STRING_LEN];
// The longest word of a matrix file (a name or a cell): every label and cell
// the system writes stays within it, so that its files can be read back.
#define MAX_FILE_WORD (STRING_LEN - 2)

// The missing value (NA in files) and the stand-in for a missing upper bound.
const real NA_VALUE = -1e14;
const real NO_UPPER_BOUND = 1e14;

// The program's version, printed in the banner and at the top of every file.
const real VERSION = 1.304;

#endif
