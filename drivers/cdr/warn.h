#pragma once
// The library's only diagnostic channel: one line on stderr per thing it
// skipped, ignored or could not do. Any thread.
#include <string>

namespace cdr {

// Writes "cdr.dll: <text>" as one line. Control characters (from a path, a
// JSON error quoting its input, a drive's inquiry data) become "?", so they
// cannot split or forge lines; overlong texts are cut.
void warnLine(const std::string& text);

}  // namespace cdr
