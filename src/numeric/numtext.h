// Numbers as text that reads back as the same number. Every number MORLA
// writes to a file goes through here, so that a file read back holds exactly
// what was written: the usual layout where it already loses nothing, more
// digits where it would.
#ifndef MORLA_NUMTEXT_H
#define MORLA_NUMTEXT_H

#include <cstddef>

#include "general.h"

// Writes x into buf (len bytes) with the printf format fmt (one real
// conversion, such as "%10.5f" or "%f") when that text reads back (strtod) as
// exactly x; otherwise with the fewest significant digits, 6 to 17, in "%g"
// form that read back as x, right-aligned in the field width of fmt where it
// fits (wider when it does not). Non-finite values are written with fmt.
// Returns the length of the text; a text longer than len - 1 is cut there.
int exact_real_text(real x, const char *fmt, char *buf, size_t len);

// As exact_real_text, but a text longer than `longest` characters (a fixed
// layout grows with the magnitude: 1e300 has 301 digits) is replaced by the
// fewest significant digits that read back, in "%g" form in the field
// width of fmt.
int exact_real_text_within(real x, const char *fmt, int longest, char *buf, size_t len);

// TRUE when text (a whole word) reads back as exactly x.
boolean reads_back_as(const char *text, real x);

#endif
