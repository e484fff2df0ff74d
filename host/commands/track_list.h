#pragma once
// The --tracks list of `qomhost rip`: numbers and ranges, "1-3,5".
#include <cstdint>
#include <string>
#include <vector>

namespace qomhost {

// "1-3,5" -> {1, 2, 3, 5}, sorted, each once. Every item is a number 1..99
// or a range "A-B" of them with A <= B. False for an empty list, with
// `bad` empty, or for a list with an item that is neither, with `bad` that
// item (an empty one for "1,,2" or a trailing comma).
bool parseTrackList(const std::string& text, std::vector<std::uint32_t>& numbers, std::string& bad);

}  // namespace qomhost
