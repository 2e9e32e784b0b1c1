// Option lines: the handlers of the command lines "keyword = value" that
// set the option settings.
#ifndef MORLA_OPTIONS_H
#define MORLA_OPTIONS_H

#include "general.h"
#include "model/krig.h"
#include "model/settings.h"

// Handles one "keyword = value" line (every keyword of the command table
// except SystemCommandObjectiveFunction); all outcomes are messages.
void equal_init(KrigModel *kr, char **token, int n_token);
// Handles "SystemCommandObjectiveFunction = words ...".
void init_SystemCommandFunction(KrigModel *kr, char **token, int n_token);

#endif
