// The command loop: prompt, read, echo, tokenize and dispatch.
#ifndef MORLA_MENU_H
#define MORLA_MENU_H

#include <cstdio>

#include "general.h"
#include "model/krig.h"

extern FILE *ifp;             // the command file; unset when interactive
extern boolean interactive;   // started without arguments
extern boolean _FIRSTCOMMAND_; // no line with tokens has been carried out yet

// Longest command line: 129 characters (MENU_LINE_LEN - 1), newline excluded.
#define MENU_LINE_LEN 130
// Token table of the loop: 10 slots (so 9 tokens) of 150 bytes.
#define MENU_TOKENS 10
#define MENU_TOKEN_LEN 150

// Runs the command loop until end of input or a quit command. The model
// array is held through its address, since reading some objects moves it.
void menu(KrigModel **kr, KrigArray *ka);

#endif
