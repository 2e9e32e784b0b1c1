# Minimise f subject to g <= 4.5, both computed by one outside program.
X < design.mat
y < responses.mat                 # two columns: f, then g
XDescription < ranges.mat
YDescription < ydescription.mat   # g is a constraint with upper bound 4.5
Fit                               # fits a model of f and a model of g
ObjectiveFunction = ./branin_disk
Minimize                          # f is minimised; g's model gives P(g <= 4.5)
X > final_design.mat
y > final_responses.mat
Quit
