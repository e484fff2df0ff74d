#pragma once
// The output folder as the command line handles it: "Output Folder" given
// and shown in the native form while the component keeps its own
// (Windows) form, and the check before a copy that the folder can be
// written.
#include <optional>
#include <string>

namespace qomhost {

// A value for "Output Folder" (UTF-8) in the component's form
// (Windows-1252): a Windows-form folder ("C:\Music", "\Music") is kept as
// it is when it maps to a native folder; anything else is a native folder
// (made absolute) and converted as the folder browser converts --output.
// Nothing for a folder the component cannot name (no drive letter covers
// it, a name outside Windows-1252, longer than 260 characters).
std::optional<std::string> componentFolder(const std::string& valueUtf8);

// The stored value (Windows-1252) as the user reads it: the native folder
// (UTF-8) it maps to, or the value itself when it maps to none.
std::string shownFolder(const std::string& cp1252);

// Makes the folder (a native path) and its parents if need be and creates
// and removes a file in it. "" when that worked, else the system's reason
// ("Permission denied").
std::string folderWriteProblem(const std::string& nativeFolder);

}  // namespace qomhost
