# Load a design, its responses and the input ranges.
X < design.mat
y < responses.mat
XDescription < ranges.mat
# A model fitted earlier: correlation parameters, mean and variance.
StochasticProcessModel < corpar.mat
RegressionModel < regression.mat
YDescription < ydescrip.mat
Database
# Predictions with standard errors at five untried runs.
Predict < newpoints.mat > predictions.mat
Predict < newpoints.mat > screen
Quit
