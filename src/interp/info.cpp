// The list of valid commands.
#include "interp/info.h"

#include <cstdio>

#include "numeric/nrerror.h"

namespace {

// The command list written by `info`, line by line.
const char *const COMMAND_LIST[] = {
    "List of valid commands: \n",
    "\nIN/OUTPUT:\n",
    "(X|y|RegressionModel|StochasticProcessModel|range) (<|>) ([filename]|screen)\n",
    "(R|F|YDescription|XDescription)                    (<|>)  ([filename]|screen)\n",
    "a [filename] ending in .csv is read and written as CSV\n",
    "\nFUNCTIONS:\n",
    "Fit\n",
    "CrossValidate                  {< xfilename yfilename} > ([filename]|screen)\n",
    "Predict                         < {[filename]|screen} > {[filename]|screen}\n",
    "Minimize\n",
    "MinimizeStage  {number}         > {[filename]|screen}\n",
    "MainEffects                     > {[filename]|screen}\n",
    "JointEffects                    > {[filename]|screen}\n",
    "Sensitivity                    {> {[filename]|screen}}\n",
    "\nOPTIONS:\n",
    "GridSize \t\t\t= {number} #default is 10\n",
    "GlobalExpectedImprovement\t= {number} #default is 1\n",
    "MinimumSample\t \t\t= {number} #default is 0\n",
    "MaximumSample\t \t\t= {number} #no cap by default\n",
    "MleFrequency\t\t \t= {number} #default is 1\n",
    "MleMaxObs\t            \t= {number} #default is 200\n",
    "MlePercentage\t\t\t= {number} #absent by default\n",
    "MinimizationTarget             \t= {number} #equals min(y_1 ... y_n) by default\n",
    "ObjectiveFunction \t\t= {name of executable}\n",
    "RandomError\t\t\t= {TRUE/FALSE}\n",
    "RandomSeed \t\t\t= {number} #default is 10\n",
    "SystemCommandObjectiveFunction  = {system command for function}\n",
    "StoppingCriterion \t\t= {tolerance} #default is tolerance\n",
    "StoppingAbsoluteTolerance \t= {number} #default is 0.001\n",
    "StoppingRelativeTolerance \t= {number} #default is 0.001\n",
    "Tries\t \t\t\t= {number} #default is 3\n",
    "MleOptimMethod                  = {simplex|gradient} #default is simplex\n",
    "CrossValidateMethod             = {auto|direct|closed} #default is auto\n",
    "CriterionOptimStart             = {random|displacement|distanceneighbour}\n",
    "                                 #default is distanceneighbour\n",
    "CriterionOptimMethod            = {simplex|powell} #default is simplex\n",
    "CriterionOptimTries             = {number} #default is 2*n\n",
    "EffectType                      = {slice|integrated} #default is slice\n",
    "\nOTHER:\n",
    "check_allocation (as first command only)\n",
    "#{comment}\n",
    "Info\n",
    "Database\n",
    "Quit\n",
};

} // namespace

void info(int n_token)
{
    if (n_token > 1) {
        refuse("Unexpected input. No tokens should follow 'info' (other than comments)\n");
        return;
    }
    for (const char *line : COMMAND_LIST)
        fprintf(ofp, "%s", line);
}
