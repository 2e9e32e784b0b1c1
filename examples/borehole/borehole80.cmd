# Accuracy of a kriging model of the borehole function from 80 runs.
X < design80.mat                  # 80 runs of 8 inputs coded to [0, 1]
y < responses80.mat
Fit
StochasticProcessModel > fitted_correlation80.mat
CrossValidate > crossvalidation80.mat
Predict < test.mat > predictions80.mat   # 1000 held-out points
Quit
