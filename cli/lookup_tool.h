#pragma once
// romhaul-lookup: the five look-ups of the window, from the command line.

namespace lookup {

// The whole program: reads the arguments (and standard input for "lg -"), runs the
// look-up, writes the rows on standard output and the messages on standard error, and
// returns the exit status (0 found, 1 nothing found, 2 usage error, 3 network or service
// failure, 4 output not written or input not read; Ctrl-C ends the process with 130).
int runLookupTool(int argc, char** argv);

}  // namespace lookup
