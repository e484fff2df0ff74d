#pragma once
// Checks and variants of a job's output path, made before anything is
// created for it. Pure functions of the texts and the drive map
// (platform/winpath.h).
#include <cstdint>
#include <string>

namespace rondel {

// True when the Windows-form `path` maps to a native path strictly below
// the native path `folder` maps to ("." and ".." resolved the way the
// mapping resolves them, so a ".." may climb inside a drive). A path that
// maps nowhere is let through: the encoder library refuses to open it, as
// it always has. A folder that maps nowhere, for a path that maps, is not.
bool pathLiesUnder(const std::string& path, const std::string& folder);

// `path` with " (n)" after its file name ("...\01 Title (2)"), the name cut
// at its end first, where needed, so that the whole stays within
// kMaxJobPath characters and the name within kMaxFileNameBytes in UTF-8.
// "" when the folders leave no room for one character of the name.
std::string numberedPath(const std::string& path, std::uint32_t n);

// A native file name without its extension: up to the last "." of its last
// part ("/a/01. Title.mp3" gives "/a/01. Title").
std::string withoutExtension(const std::string& nativeName);

}  // namespace rondel
