#include "host/commands/command_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>

#include "host/commands/interrupts.h"
#include "host/core/text_list.h"
#include "platform/codepage.h"
#include "sdk/rondel_window.h"

namespace qomhost {
namespace {

bool allDigits(const std::string& s) {
  return !s.empty() && s.size() < 4 && s.find_first_not_of("0123456789") == std::string::npos;
}

// HeadlessWindow::waitSettled, which also ends at a signal: the status
// line ready or "Cannot Read Disc", or no disc / not ready held for 2 s.
bool waitForDisc(HeadlessWindow& window, std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  constexpr std::chrono::seconds kQuiet(2);  // a drive may still be spinning up
  std::string last;
  Clock::time_point since = Clock::now();
  bool settled = false;
  window.driver().runUntil(
      [&] {
        if (interruptCount() > 0) return true;
        const std::string status = window.read().status;
        if (status != last) {
          last = status;
          since = Clock::now();
        }
        namespace w = rondel::window;
        settled = status == w::kStatusReady || status == w::kStatusCannotReadDisc ||
                  ((status == w::kStatusNoDisc || status == w::kStatusNotReady) &&
                   Clock::now() - since >= kQuiet);
        return settled;
      },
      timeout);
  return settled;
}

}  // namespace

std::string out(const std::string& cp1252) {
  return outNative(platform::cp1252ToUtf8(cp1252));
}

std::string outNative(const std::string& utf8) {
  return platform::replaceControls(utf8, '?', platform::TextForm::kUtf8);
}

std::string jsonText(const std::string& cp1252) { return platform::cp1252ToUtf8(cp1252); }

void addDriveOptions(CLI::App* command, DriveOptions& options, const char* jsonHelp,
                     const char* entryHelp) {
  command->add_option("--drive", options.drive,
                      "Drive index or exact name, for this command only (the saved \"Device\" stays)");
  command->add_flag("--json", options.json, jsonHelp);
  command->add_option("--timeout", options.timeoutSeconds, "Seconds to wait for the drive and the lookup")
      ->check(CLI::Range(1, 3600));
  command->add_option("--entry", options.entry, entryHelp)->check(CLI::Range(0, 1000));
}

std::vector<std::string> driveNames(HostSession& session) {
  const std::string feed = session.feedOfItem("Device");
  auto list = feed.empty() ? std::nullopt : session.host().feedList(feed);
  return list ? splitList(*list) : std::vector<std::string>();
}

int chooseDrive(HostSession& session, const std::string& drive) {
  const std::vector<std::string> names = driveNames(session);
  int chosen = -1;
  if (allDigits(drive)) {
    const std::size_t index = std::stoul(drive);
    if (index < names.size()) chosen = static_cast<int>(index);
  } else {
    const auto it = std::find(names.begin(), names.end(), platform::utf8ToCp1252(drive));
    if (it != names.end()) chosen = static_cast<int>(it - names.begin());
  }
  if (chosen < 0) {
    std::cerr << "qomhost: no drive \"" << drive << "\"; the drives are:\n";
    for (std::size_t i = 0; i < names.size(); ++i) std::cerr << "  " << i << "\t" << out(names[i]) << "\n";
    if (names.empty()) std::cerr << "  (none)\n";
    return -1;
  }
  // The window polls the drive "Device" names; the option sets it for this
  // run only (`config set Device` changes the setting).
  session.store().keepUnsaved("Device");
  qom::ConfigItem* device = session.findItem("Device");
  return device != nullptr && device->setText(names[chosen].c_str()) ? chosen : -1;
}

bool driveInUse(HostSession& session, const ShownDisc& disc, int chosen, std::string& name) {
  const std::vector<std::string> names = driveNames(session);
  name.clear();
  if (disc.drive < 0 || static_cast<std::size_t>(disc.drive) >= names.size()) {
    if (chosen >= 0) std::cerr << "qomhost: the window has not asked drive " << chosen << " yet\n";
    return chosen < 0;
  }
  name = names[disc.drive];
  if (chosen >= 0 && chosen != disc.drive) {
    std::cerr << "qomhost: the window reads drive " << disc.drive << " (\"" << out(name)
              << "\"), not drive " << chosen << "\n";
    return false;
  }
  qom::ConfigItem* device = session.findItem("Device");
  const std::string setting = device != nullptr ? device->text() : "";
  if (setting != name)
    std::cerr << "qomhost: note: \"Device\" is \"" << out(setting)
              << "\", which names no drive; the window reads drive " << disc.drive << " (\""
              << out(name) << "\")\n";
  return true;
}

std::optional<int> openDisc(HeadlessWindow& window, const DriveOptions& options, bool& settled) {
  settled = false;
  if (!window.open()) {
    std::cerr << "qomhost: no component offers a window with a track list\n";
    return kExitFailed;
  }
  // A disc with a lookup settles only once the lookup has offered its
  // entries and applied the first.
  settled = waitForDisc(window, std::chrono::seconds(options.timeoutSeconds));
  if (interruptCount() > 0) {
    std::cerr << "qomhost: interrupted while waiting for the disc (status: \""
              << out(window.read().status) << "\")\n";
    return std::nullopt;
  }
  if (settled && options.entry >= 0 && !window.pickEntry(options.entry)) {
    std::cerr << "qomhost: no entry " << options.entry << "; the disc has "
              << window.read().entries.size() << " (counted from 0)\n";
    return kExitUsage;
  }
  return std::nullopt;
}

}  // namespace qomhost
