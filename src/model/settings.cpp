// The option settings and their compiled-in defaults.
#include "model/settings.h"

int MleTries = 3;
char FuncName[FUNCNAME_LEN] = "";
boolean init_FuncName = FALSE;
boolean SystemCommandFunction = FALSE;
int MinSample = 0;
int MaximumSample = 0;
int GridSize = 10;
int MinimizationMleFrequency = 1;
int MaxObsForMle = 200;
real MinimizationMlePerc = 0.0;
real MinTarget = 0.0;
boolean init_MinTarget = FALSE;
int GlobalEiParam = 1;
int CriterionOptimTries = -1;
real StopTolAbs = 0.001;
real StopTolRel = 0.001;
string StopCrit = "tolerance";
string CriterionOptimMethod = "simplex";
string EffectType = "slice";
string CriterionOptimStart = "distanceneighbour";
boolean RandomError = FALSE;
string MleOptimMethod = "simplex";
string CrossValidateMethod = "auto";

real OptTolAbs = 0.0;
real OptTolRel = 0.001;
real StopCritPerc = 0.01;
