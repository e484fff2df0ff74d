#pragma once
// The AccurateRip database files the server hands out beside the CDDB
// script: GET /accuraterip/x/y/z/dBAR-NNN-aaaaaaaa-bbbbbbbb-ffffffff.bin
// answers the file of that name under the folder given with --accuraterip.
// Pure but for the file read; safe from any thread.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace cddb_server {

constexpr std::string_view kAccurateRipPrefix = "/accuraterip/";
// A database file holds a few KiB per pressing; a larger one is not served.
constexpr std::size_t kMaxAccurateRipFileBytes = 64 * 1024;

// The path below the prefix ("x/y/z/dBAR-....bin") when `path` names a
// database file in the layout the database uses: three single lower-case
// hex digits that are id1's last three (last first), a three-digit track
// count and three ids of 8 lower-case hex digits. Nothing for any other
// text, so no request can name anything else under the folder.
std::optional<std::string> accurateRipFileName(std::string_view path);

// The file's bytes from under `root`; nothing when it is missing, when it
// or any folder on the way is a symbolic link or not what it should be
// (only regular files are read, without blocking), or when it is larger
// than kMaxAccurateRipFileBytes.
std::optional<std::string> loadAccurateRipFile(const std::string& root, const std::string& name);

}  // namespace cddb_server
