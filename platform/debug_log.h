#pragma once
// The one diagnostic log of the component and its host: off unless the
// environment variable RONDEL_DEBUG_LOG names where it goes ("stderr", or a
// file path, which is appended to; the older RONDEL_DEBUG, set to anything,
// means "stderr"). Users never see it; it tells a developer why something
// failed where the user only saw a status text.
//
// Each event is one line: "2026-12-07T02:10:11.123Z rondel: <topic>: <text>".
// A line is at most kDebugLineBytes bytes (longer text is cut and ends in
// "..."), and control characters in the text (a newline from a server reply,
// say) become '?', so no event can forge another's line.
//
// Threads: any thread. The target is read from the environment at the first
// call; lines from several threads never mix. Every function is noexcept;
// while the log is off a call costs one atomic load.
#include <cstddef>

namespace platform {

constexpr std::size_t kDebugLineBytes = 1024;  // one line, its newline included

// Whether lines are written at all; lets a caller skip building its text.
bool debugLogEnabled() noexcept;

// Writes one line. `format` is a printf format.
void debugLog(const char* topic, const char* format, ...) noexcept
    __attribute__((format(printf, 2, 3)));

// Points the log elsewhere, like the environment variable would: nullptr or
// "" turns it off, "stderr" is the standard error, anything else a file
// (appended to; a file that cannot be opened turns the log off). For tests
// and tools.
void setDebugLogTarget(const char* target) noexcept;

}  // namespace platform
