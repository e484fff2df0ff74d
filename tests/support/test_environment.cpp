// Linked into every test binary: the environment every test starts from.
// No test reaches a server outside this machine, so the AccurateRip lookup,
// which goes to the public database unless told otherwise, is off unless a
// test names its own server (a test that sets the variable keeps it, and
// programs the tests start inherit it).
#include <cstdlib>

namespace {

const bool kAccurateRipOff = [] { return ::setenv("RONDEL_ACCURATERIP_URL", "", 0) == 0; }();

}  // namespace
