#pragma once
// What the commands share: exit codes, texts for the terminal, the options
// of the commands that read a disc (--drive, --json, --timeout, --entry)
// and the steps they take alike: choosing the drive, opening the window and
// waiting for the disc, naming the drive the window reads. Window thread =
// the command's thread.
#include <optional>
#include <string>
#include <vector>

#include "host/core/host_session.h"
#include "host/view/headless_window.h"

namespace CLI {
class App;
}

namespace qomhost {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;          // unknown key, value that does not fit, bad option
constexpr int kExitInterrupted = 130;  // cancelled by SIGINT/SIGTERM

// Windows-1252 (the component's texts) to UTF-8 for the terminal: control
// characters become "?", so a database title cannot move the cursor, clear
// the screen or ring the bell.
std::string out(const std::string& cp1252);
// The same for a text that is UTF-8 already (a file's native path).
std::string outNative(const std::string& utf8);
// Windows-1252 to UTF-8 as it is, for JSON (which escapes controls itself).
std::string jsonText(const std::string& cp1252);

// The options of the commands that read a disc.
struct DriveOptions {
  std::string drive;  // name or index; "" keeps the configured drive
  bool json = false;
  int timeoutSeconds = 30;
  int entry = -1;  // --entry N: the database entry to apply (-1: the lookup's choice)
};

void addDriveOptions(CLI::App* command, DriveOptions& options, const char* jsonHelp,
                     const char* entryHelp);

// The names the "Device" item's feed list offers, in drive table order.
std::vector<std::string> driveNames(HostSession& session);

// Picks the drive named by `drive` (an index into the drive list or an
// exact name) by setting "Device" for this run only: the stored setting
// stays. Answers its index, or -1 with a message on stderr when it names no
// drive.
int chooseDrive(HostSession& session, const std::string& drive);

// The name of the drive the window polls ("" when unknown), to print above
// its disc. Says on stderr when that is not the drive the caller chose
// (`chosen`, -1 for none) or "Device" names; false when it is not the
// chosen one.
bool driveInUse(HostSession& session, const ShownDisc& disc, int chosen, std::string& name);

// Opens the component's window, runs it until the drive has settled (within
// --timeout) and applies --entry. Answers the exit code to end with (the
// message on stderr), or nothing to go on; `settled` tells whether the
// drive settled in time. A signal counted by a live InterruptGuard ends the
// wait with a message and nothing: the caller prints what is known and
// ends with kExitInterrupted.
std::optional<int> openDisc(HeadlessWindow& window, const DriveOptions& options, bool& settled);

}  // namespace qomhost
