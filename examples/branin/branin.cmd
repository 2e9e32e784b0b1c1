# The whole analysis of the Branin function from a 21-run design.
# Run it in a copy of this folder: ../../build/morla branin.cmd report.txt
X < design.mat                    # 21 runs of two inputs x1, x2
y < responses.mat                 # the function at those runs
XDescription < ranges.mat         # the input box [-5, 10] x [0, 15]
Fit                               # maximum-likelihood fit of the model
StochasticProcessModel > fitted_correlation.mat
RegressionModel > fitted_mean.mat
YDescription > fitted_variance.mat
CrossValidate > crossvalidation.mat
Predict < grid.mat > predictions.mat
GridSize = 20                     # 20 levels per input for the effects
MainEffects > main_effects.mat
JointEffects > joint_effects.mat
Sensitivity > sensitivity.mat     # each input's and the pair's share of the variance
# Minimise: run ./branin at the point of largest expected improvement,
# add the run, refit, until the criterion is small three times in a row.
ObjectiveFunction = ./branin
Minimize
X > final_design.mat
y > final_responses.mat
Quit
