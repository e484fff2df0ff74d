#include "sdk/qom_assert.h"

#include <cstdio>
#include <cstdlib>

namespace qom {

void assertionFailed(const char* text, const char* file, int line) {
  std::fprintf(stderr, "qom: debug check failed: %s (%s:%d)\n", text, file, line);
  std::fflush(stderr);
#if defined(QOM_ASSERT_FATAL)
  std::abort();
#endif
}

}  // namespace qom
