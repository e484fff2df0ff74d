#pragma once
// qomhost's command line: the commands and their options, and the one
// that runs.
namespace qomhost {
int runCommandLine(int argc, char** argv);
}
