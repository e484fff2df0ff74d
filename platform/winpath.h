#pragma once
// Windows-form paths ("C:\My Audio Files\x.mp3") mapped onto the POSIX file
// system at the boundary, the way a compatibility layer does:
//   Z:\  is the root "/",
//   C:\  is the user's home folder ($HOME),
//   more letters come from QOM_DRIVE_MAP ("D=/srv/music;E=/media/usb") or
//   from setDriveLetter().
// Texts inside are Windows-1252; native names are UTF-8.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Longest Windows path the component handles (buffers hold this plus a NUL).
constexpr std::size_t kMaxPath = 260;

// Maps a Windows-form absolute path ("X:\a\b", "/" accepted as a separator
// too, repeated separators collapsed) to a native UTF-8 path. "." and ".."
// are resolved lexically; a ".." that would climb above the drive's root
// refuses the whole path. A path that starts with one separator ("\a\b")
// starts at the root of the current drive: the drive of the working
// directory. nullopt for a relative path (also "X:" and "X:name"), a UNC
// path ("\\server\share"), an unmapped drive letter, an empty path, a path
// longer than kMaxPath, a ".." above the root, or a name holding a NUL.
std::optional<std::string> toNativePath(std::string_view windowsPath);

// True for a network-share path ("\\server\share", "/" accepted as a
// separator too): two separators at its start. No drive letter names a
// share, so such a path never maps.
bool isNetworkSharePath(std::string_view windowsPath);

// Maps a native absolute path to Windows form using the letter whose root is
// the longest prefix of it on a folder boundary (so a path under $HOME
// becomes C:\..., $HOME itself C:\). Characters Windows-1252 cannot hold,
// and a backslash inside a native name, become "?". "" for a relative path
// or one no letter covers. The result is not cut to kMaxPath: callers that
// copy it into a fixed buffer check the length.
std::string toWindowsPath(std::string_view nativePath);

// Creates every missing folder along a Windows-form folder path (mode 0755).
// True when the folder exists afterwards. False for a path that does not
// map, when the drive's root itself is missing (a drive that is not there is
// never created), or when a file stands where a folder should be.
bool createFolders(std::string_view windowsFolderPath);

// Maps a drive letter (A..Z, either case) to an absolute native root for this
// process, C: and Z: included; an empty root removes the letter. Anything
// else (another letter, a relative root) is ignored. Thread-safe.
void setDriveLetter(char letter, const std::string& nativeRoot);

// Drops every setDriveLetter() change and reads QOM_DRIVE_MAP again on the
// next use. For unit tests.
void resetDriveMapForTesting();

}  // namespace platform
