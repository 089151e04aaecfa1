// cfsi's command line: the commands, their options and their help.
#ifndef EXTRACTGAMEFILE_CFSI_CLI_H_
#define EXTRACTGAMEFILE_CFSI_CLI_H_

// Parses |argv| and runs the command it names. "--help", for cfsi or for a
// command, prints the help on standard output and returns 0; "--version"
// prints "cfsi VERSION" and returns 0; either returns 1 when standard output
// cannot be written. A wrong call prints what is wrong and a short usage on
// standard error and returns 2. Otherwise returns the command's exit status.
int runCfsi(int argc, char** argv);

#endif  // EXTRACTGAMEFILE_CFSI_CLI_H_
