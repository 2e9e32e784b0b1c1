// Entry point of the morla executable.
#include "interp/startup.h"

int main(int argc, char **argv)
{
    return morla_main(argc, argv);
}
