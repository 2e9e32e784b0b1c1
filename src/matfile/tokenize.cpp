// Line tokenizer for command lines and matrix-file lines.
#include "matfile/tokenize.h"

#include <cstdio>

#include "numeric/nrerror.h"

namespace {

boolean is_blank(char c) { return c == ' ' || c == '\t'; }
boolean is_separator(char c) { return c == '<' || c == '>' || c == '='; }
// At p: a newline, a comment, the end of the text, or a carriage return
// that ends the line (CRLF line ends).
boolean is_end_of_line(const char *p)
{
    if (*p == '\r')
        return p[1] == '\n' || p[1] == '\0';
    return *p == '\n' || *p == '#' || *p == '\0';
}

const char *skip_blanks(const char *p)
{
    while (is_blank(*p))
        p++;
    return p;
}

int too_many_tokens()
{
    refuse("More Tokens in line than code can handle\n");
    return 2;
}

} // namespace

int tokenize(const char *line, int *count, int slot_len, char **slots)
{
    int max_tokens = *count;
    int t = 0;
    const char *p = skip_blanks(line);
    for (;;) {
        if (is_end_of_line(p)) {
            *count = t;
            return 0;
        }
        if (is_separator(*p)) {
            refuse("Unexpected input: \n\t(1)Input Line should not start with seperator or\n"
                         "\t(2) Two seperators should not appear in sequence.\n");
            return 1;
        }
        char *slot = slots[t];
        int k = 0;
        while (!is_blank(*p) && !is_separator(*p) && !is_end_of_line(p)) {
            slot[k++] = *p++;
            if (k >= slot_len - 1)
                return TOKEN_TOO_LONG;
        }
        slot[k] = '\0';
        t++;
        if (t >= max_tokens)
            return too_many_tokens();
        p = skip_blanks(p);
        if (is_separator(*p)) {
            slots[t][0] = *p++;
            slots[t][1] = '\0';
            t++;
            if (t >= max_tokens)
                return too_many_tokens();
            p = skip_blanks(p);
        }
    }
}
