#pragma once
// qomhost's command line.
namespace qomhost {
int runCommandLine(int argc, char** argv);
}
