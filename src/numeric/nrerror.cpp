// Fatal errors, warnings and information lines.
#include "numeric/nrerror.h"

#include <cstdlib>

FILE *ofp = stdout;

void nrerror(const char *error_text)
{
    fprintf(stderr, "MORLA ERROR... \n");
    fprintf(stderr, "%s \n", error_text);
    fprintf(stderr, "Now exiting to system ... \n ");
    exit(1);
}

void nrerror(const char *error_text, real value, const char *label)
{
    fprintf(stderr, "MORLA error ... \n");
    fprintf(stderr, "%s %f \n", label, value);
    fprintf(stderr, "%s \n", error_text);
    fprintf(stderr, "Now exiting to system ... \n ");
    exit(2);
}

void nrinfo(const char *text)
{
    fprintf(ofp, "Info : %s\n", text);
}

void nrwarning(const char *text)
{
    fprintf(ofp, "WARNING: %s\n", text);
}
