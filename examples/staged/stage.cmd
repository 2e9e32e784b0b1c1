# One stage: fit the runs so far and propose the next batch of 4 runs.
X < design.mat
y < responses.mat
XDescription < ranges.mat
Fit
MinimizeStage 4 > proposals.mat   # the old runs followed by 4 new ones
Quit
