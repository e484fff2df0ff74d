#pragma once
// A lookup against the real cddb-server on 127.0.0.1: a freedb folder in a
// temp dir with the entries a test writes, the server started on a free
// port (with the test's fault options), and the main window of the real
// rondel.qom pointed at it.
#include <discid/discid.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "main_window_fixture.h"
#include "support/background_process.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace testing_support {

// A disc as the simulated drive lays it out: track 1 at LBA 0, each next
// track right after the previous one.
struct DiscLayout {
  std::vector<int> sectors;
  std::vector<int> offsets() const {  // frame offsets (LBA + 150)
    std::vector<int> o{150};
    for (int s : sectors) o.push_back(o.back() + s);
    o.pop_back();  // the lead-out's
    return o;
  }
  int leadOut() const { return std::accumulate(sectors.begin(), sectors.end(), 0); }
  // The freedb id from libdiscid, an independent computation.
  std::string discId() const {
    DiscId* d = discid_new();
    std::vector<int> all = offsets();
    all.insert(all.begin(), leadOut() + 150);
    discid_put(d, 1, static_cast<int>(sectors.size()), all.data());
    std::string id = discid_get_freedb_id(d);
    discid_free(d);
    return id;
  }
  std::string tracksJson() const { return tracks(sectors); }
};

// An xmcd entry for `disc` with the given titles.
inline std::string xmcdEntry(const DiscLayout& disc, const std::string& id, const std::string& dtitle,
                             const std::vector<std::string>& titles, const std::string& year = "",
                             const std::string& genre = "") {
  std::string text = "# xmcd\n#\n# Track frame offsets:\n";
  for (int o : disc.offsets()) text += "#\t" + std::to_string(o) + "\n";
  text += "#\n# Disc length: " + std::to_string(disc.leadOut() / 75 + 2) + " seconds\n#\n";
  text += "DISCID=" + id + "\nDTITLE=" + dtitle + "\nDYEAR=" + year + "\nDGENRE=" + genre + "\n";
  for (std::size_t i = 0; i < titles.size(); ++i)
    text += "TTITLE" + std::to_string(i) + "=" + titles[i] + "\n";
  return text + "EXTD=\nPLAYORDER=\n";
}

// The real cddb-server on 127.0.0.1, on `port` when a test must know it
// before the server starts (a redirect naming it), else on a free one.
class CddbServer {
 public:
  explicit CddbServer(const std::vector<std::string>& options = {}, std::uint16_t port = 0) {
    std::vector<std::string> argv{binDir() + "/cddb-server", "--root", root_.path(), "--listen",
                                  "127.0.0.1:" + std::to_string(port), "--log", root_.file("requests.log")};
    argv.insert(argv.end(), options.begin(), options.end());
    process_ = std::make_unique<BackgroundProcess>(argv, root_.file("server.out"));
    port_ = process_->listeningPort();
  }
  bool running() const { return port_ > 0; }
  // The "Freedb Server" value that reaches this server.
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  void add(const std::string& category, const std::string& id, const std::string& text) const {
    std::filesystem::create_directories(root_.file(category));
    root_.write(category + "/" + id, text);
  }
  std::string requests() const { return readFile(root_.file("requests.log")); }
  std::size_t requestCount() const {
    const std::string log = requests();
    return static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n'));
  }
  // Dies at once, as a crashed or powered-off server: no reply, no close
  // of its own; the kernel resets its connections.
  bool kill() { return process_->signal(SIGKILL) && process_->waitExit(std::chrono::seconds(5)); }

 private:
  TempDir root_;
  std::unique_ptr<BackgroundProcess> process_;
  int port_ = 0;
};

// The window, lookups on, pointed at `server`; short time-outs
// (RONDEL_LOOKUP_TIMEOUTS: connect, silence, request, whole lookup).
class LookupWindow : public MainWindowFixture {
 public:
  LookupWindow(const DrivesJson& drives, const std::string& server,
               const std::string& timeouts = "1000,1000,5000")
      : MainWindowFixture(drives), timeouts_("RONDEL_LOOKUP_TIMEOUTS", timeouts) {
    setItem("Use Freedb", "1");
    setItem("Freedb Server", server);
    setItem("EMail", "tester@example.org");
  }
  // Runs the loop until the status is `text` (bounded; the lookup's own
  // time-outs end it much sooner).
  bool runUntilStatus(const std::string& text, int seconds = 20) {
    return driver().runUntil([&] { return status().text() == text; }, std::chrono::seconds(seconds));
  }
  // Shows the window, reads the disc (which starts the lookup) and runs
  // until "Ready".
  bool lookUpUntilReady(int seconds = 20) { return showAndTick() && runUntilStatus("Ready", seconds); }
  std::vector<std::string> items() {
    std::vector<std::string> texts;
    for (const auto& item : entries().items()) texts.push_back(item.text);
    return texts;
  }

 private:
  ScopedEnv timeouts_;
};

// qomhost as a process of its own, keeping its configuration in
// dir/config.
inline CommandResult runQomhost(const TempDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), {binDir() + "/qomhost", "--config-dir", dir.file("config")});
  return runCommand(args);
}

}  // namespace testing_support
