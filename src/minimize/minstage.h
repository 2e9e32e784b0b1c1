// The MinimizeStage command: a batch of new runs chosen one after the other
// by largest criterion, without running anything. Each chosen point joins an
// augmented design whose standard error scales the criterion, so the
// criterion collapses near points already chosen and the batch spreads out.
#ifndef MORLA_MINSTAGE_H
#define MORLA_MINSTAGE_H

#include "general.h"
#include "model/krig.h"

// Handler of "MinimizeStage number > file".
void init_MinStage(KrigModel *kr, KrigArray *ka, char **token, int n_token);

// Chooses `number` points for the fitted models and writes the design with
// the new points appended to outfile ("screen" or "s": the report). Returns
// the status of the last criterion search (0 when all points were chosen),
// or MINIMIZE_FAILED when the batch's storage would exceed the machine's
// memory (refused with a message, nothing chosen). The models are not
// changed.
int MinimizeStage(KrigModel *kr, KrigArray *ka, int number, const char *outfile);

#endif
