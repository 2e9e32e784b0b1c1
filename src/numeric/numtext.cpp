// Numbers as text that reads back as the same number.
#include "numeric/numtext.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

boolean reads_back_as(const char *text, real x)
{
    char *end;
    real back = strtod(text, &end);
    while (*end == ' ')
        end++;
    return (*end == '\0' && back == x) ? TRUE : FALSE;
}

// The field width of a printf format such as "%10.5f" (0 when none).
static int field_width(const char *fmt)
{
    const char *p = strchr(fmt, '%');
    if (p == NULL)
        return 0;
    p++;
    while (*p == '-' || *p == '+' || *p == ' ' || *p == '0' || *p == '#')
        p++;
    return atoi(p);
}

// The fewest significant digits, 6 to 17, in "%g" form right-aligned in
// `width`, that read back as x.
static void shortest_text(real x, int width, char *text, size_t size)
{
    for (int digits = 6; digits <= 17; digits++) {
        snprintf(text, size, "%*.*g", width, digits, x);
        if (reads_back_as(text, x))
            return;
    }
}

int exact_real_text(real x, const char *fmt, char *buf, size_t len)
{
    char text[64];
    snprintf(text, sizeof text, fmt, x);
    if (std::isfinite(x) && !reads_back_as(text, x))
        shortest_text(x, field_width(fmt), text, sizeof text);
    snprintf(buf, len, "%s", text);
    return (int)strlen(buf);
}

int exact_real_text_within(real x, const char *fmt, int longest, char *buf, size_t len)
{
    char text[64];
    exact_real_text(x, fmt, text, sizeof text);
    if (std::isfinite(x) && (int)strlen(text) > longest)
        shortest_text(x, field_width(fmt), text, sizeof text);
    snprintf(buf, len, "%s", text);
    return (int)strlen(buf);
}
