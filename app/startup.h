#pragma once

// The start-up sequence: creates every window and the data module in their order, shows the sign-in window
// modally and runs the main window's event loop. Returns the process exit code.
int runProgram(int argc, char** argv);
