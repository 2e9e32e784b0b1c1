# A first look at MORLA: options are "keyword = value" lines.
Tries = 5
RandomSeed = 7
Quit
