// Object input/output commands: the form check of an object line.
#include "interp/inout.h"

#include <cstdio>
#include <cstring>

#include "matfile/objects.h"
#include "numeric/nrerror.h"

void inout(KrigModel **kr, KrigArray *ka, char **token, int n_token)
{
    boolean redirect = n_token >= 2 && (strcmp(token[1], "<") == 0 || strcmp(token[1], ">") == 0);
    if (n_token == 3 && redirect) {
        int action = strcmp(token[1], "<") == 0 ? ACTION_READ : ACTION_OUTPUT;
        if (strcmp(token[2], "screen") == 0 || strcmp(token[2], "s") == 0) {
            if (action == ACTION_READ) {
                refuse("Sorry, can't read a file onto the screen. Line ignored.\n");
                return;
            }
            action = ACTION_PRINT;
        }
        menu_print(kr, ka, action, token[0], token[2]);
        return;
    }
    if (n_token >= 2 && !redirect)
        refuse("Unexpected input. A '<' or a '>' sign was expected. Input line ignored.\n");
    if (n_token != 3)
        refuse("Unexpected input. Exactly 3 tokens are expected. (excluding comments '#')\n"
                     "\tInput line ignored.\n");
}
