#pragma once
// Debug checks of the SDK. They guard conditions the component's own code
// never produces (double registration, a count below zero, a foreign service
// instance...). A failing check writes "qom: debug check failed: <text>" with
// its place to stderr; builds other than Release then abort the process, the
// way a fatal message box would end it, so a test sees one fire as a death.
// Release builds report and go on.
namespace qom {

void assertionFailed(const char* text, const char* file, int line);

}  // namespace qom

#define QOM_ASSERT(condition, text)                          \
  do {                                                       \
    if (!(condition)) ::qom::assertionFailed(text, __FILE__, __LINE__); \
  } while (0)
