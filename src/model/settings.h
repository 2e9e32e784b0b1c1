// The option settings: process-wide values with compiled-in defaults that
// steer fitting and minimisation. They change only through option lines of
// the command stream; every subsystem from the model store up reads them.
#ifndef MORLA_SETTINGS_H
#define MORLA_SETTINGS_H

#include "general.h"

#define FUNCNAME_LEN 150

extern int MleTries;                  // tries of the likelihood maximisation
extern char FuncName[FUNCNAME_LEN];   // objective-function command or program
extern boolean init_FuncName;         // an objective function has been given
extern boolean SystemCommandFunction; // FuncName is a shell command of words
extern int MinSample;                 // observations needed before convergence counts
extern int MaximumSample;             // Minimize stops at this many runs (0: no cap)
extern int GridSize;                  // points per input of evaluation grids
extern int MinimizationMleFrequency;  // refit every this many iterations
extern int MaxObsForMle;              // periodic refits stop at this many observations
extern real MinimizationMlePerc;      // refit after this growth of the design (0: absent)
extern real MinTarget;                // target of the minimisation
extern boolean init_MinTarget;        // MinTarget has been given
extern int GlobalEiParam;             // exponent of the generalised expected improvement
extern int CriterionOptimTries;       // starts of the criterion maximisation (-1: not set)
extern real StopTolAbs;               // absolute stopping tolerance
extern real StopTolRel;               // relative stopping tolerance
extern string StopCrit;               // "tolerance" or "quantile"
extern string CriterionOptimMethod;   // "simplex" or "powell"
extern string CriterionOptimStart;    // "random", "displacement" or "distanceneighbour"
extern boolean RandomError;           // responses carry random error
extern string EffectType;             // effects: "slice" (others at mid-range) or "integrated"
extern string MleOptimMethod;         // likelihood maximisation: "simplex" or "gradient"
extern string CrossValidateMethod;    // leave-one-out: "auto", "direct" or "closed"

// Settings without a keyword.
extern real OptTolAbs;
extern real OptTolRel;
extern real StopCritPerc;

#endif
