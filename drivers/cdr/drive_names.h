#pragma once
// The names the library offers. The component lists them joined with ";"
// and chooses a drive by the first name equal to its setting, so a name
// must not hold ";" and no two drives may share one.
#include <string>
#include <vector>

namespace cdr {

// The offered names for drives named `wanted` (Windows-1252, in drive
// order): every ";" becomes ","; a drive keeps its name unless an earlier
// drive has it, and then becomes "name (2)", "name (3)", ... with the lowest
// number no other drive is named. Every result is shorter than
// kCdDeviceNameBytes (a long name is cut before its number).
std::vector<std::string> uniqueNames(std::vector<std::string> wanted);

}  // namespace cdr
