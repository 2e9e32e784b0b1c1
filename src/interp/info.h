// The list of valid commands, written by the "Info" command.
#ifndef MORLA_INFO_H
#define MORLA_INFO_H

// Writes the list of valid commands to `ofp`; with more than one token on
// the command line, only the message that nothing may follow "info".
void info(int n_token);

#endif
