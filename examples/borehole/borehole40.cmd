# Accuracy of a kriging model of the borehole function from 40 runs.
X < design40.mat                  # 40 runs of 8 inputs coded to [0, 1]
y < responses40.mat
Fit
StochasticProcessModel > fitted_correlation40.mat
CrossValidate > crossvalidation40.mat
Predict < test.mat > predictions40.mat   # 1000 held-out points
Quit
