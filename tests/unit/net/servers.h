#pragma once
// nginx and tinyproxy started by the tests on 127.0.0.1, each with its
// configuration, logs and pid file in the test's temporary folder and
// running in the foreground as a child of the test.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/background_process.h"
#include "support/temp_dir.h"

namespace net_test {

// A server program run in the foreground as a child of the test, on a free
// port, with its files in the test's folder.
class LocalServer {
 public:
  std::string base() const { return "127.0.0.1:" + std::to_string(port_); }

 protected:
  explicit LocalServer(const testing_support::TempDir& dir)
      : dir_(dir), port_(testing_support::freeTcpPort()) {}
  // Starts `argv`; a missing program fails the test (setup installs it).
  bool launch(const std::vector<std::string>& argv, const std::string& name,
              const std::string& moreLog = "") {
    if (!std::filesystem::exists(argv[0])) {
      ADD_FAILURE() << argv[0] << " is missing: scripts/setup installs " << name;
      return false;
    }
    process_ = std::make_unique<testing_support::BackgroundProcess>(argv, dir_.file(name + ".out"));
    if (process_->started() && process_->waitForPort(port_)) return true;
    ADD_FAILURE() << name << " did not start: " << process_->log()
                  << (moreLog.empty() ? "" : testing_support::readFile(moreLog));
    return false;
  }

  const testing_support::TempDir& dir_;
  std::uint16_t port_;
  std::unique_ptr<testing_support::BackgroundProcess> process_;
};

// nginx serving `root` with: /file.txt (the text "hello nginx\n"),
// /secret/a.txt behind basic authentication (user "user", password
// "secret"), /moved (301) and /found (302) to /file.txt, and /loop, which
// redirects to itself.
class Nginx : public LocalServer {
 public:
  static constexpr const char* kProgram = "/usr/sbin/nginx";
  static constexpr const char* kFileText = "hello nginx\n";

  explicit Nginx(const testing_support::TempDir& dir) : LocalServer(dir) {
    namespace fs = std::filesystem;
    fs::create_directories(dir.file("www/secret"));
    dir.write("www/file.txt", kFileText);
    dir.write("www/secret/a.txt", "behind the door\n");
    // nginx reads {PLAIN} passwords without needing a hash tool.
    dir.write("htpasswd", "user:{PLAIN}secret\n");
    const std::string self = "http://127.0.0.1:" + std::to_string(port_);
    const std::string d = dir.path();
    dir.write("nginx.conf",
              "daemon off;\nmaster_process off;\nworker_processes 1;\n"
              "pid " + d + "/nginx.pid;\nerror_log " + d + "/nginx-error.log;\n"
              "events { worker_connections 64; }\n"
              "http {\n"
              "  access_log " + d + "/nginx-access.log;\n"
              "  client_body_temp_path " + d + "/body;\n  proxy_temp_path " + d + "/proxy;\n"
              "  fastcgi_temp_path " + d + "/fastcgi;\n  uwsgi_temp_path " + d + "/uwsgi;\n"
              "  scgi_temp_path " + d + "/scgi;\n"
              "  server {\n    listen 127.0.0.1:" + std::to_string(port_) + ";\n"
              "    root " + d + "/www;\n"
              "    location /secret/ { auth_basic \"r\"; auth_basic_user_file " + d + "/htpasswd; }\n"
              "    location = /moved { return 301 " + self + "/file.txt; }\n"
              "    location = /found { return 302 " + self + "/file.txt; }\n"
              "    location = /loop { return 302 " + self + "/loop; }\n"
              "  }\n}\n");
  }

  bool start() {
    return launch({kProgram, "-p", dir_.path(), "-e", dir_.file("nginx-error.log"), "-c",
                   dir_.file("nginx.conf")},
                  "nginx", dir_.file("nginx-error.log"));
  }

  std::string accessLog() const { return testing_support::readFile(dir_.file("nginx-access.log")); }
  // nginx logs a request after its reply has gone out, so a client may be
  // done before the line is there: waits until `text` occurs `times` times
  // (bounded) and gives how often it occurs then.
  int waitForLogged(const std::string& text, int times,
                    std::chrono::milliseconds bound = std::chrono::seconds(10)) const {
    const auto until = std::chrono::steady_clock::now() + bound;
    for (;;) {
      const std::string log = accessLog();
      int n = 0;
      for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
      if (n >= times || std::chrono::steady_clock::now() > until) return n;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
};

// tinyproxy demanding basic authentication (user "puser", password "ppass").
class Tinyproxy : public LocalServer {
 public:
  static constexpr const char* kProgram = "/usr/bin/tinyproxy";

  explicit Tinyproxy(const testing_support::TempDir& dir) : LocalServer(dir) {
    dir.write("tinyproxy.conf", "Port " + std::to_string(port_) +
                                    "\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\n"
                                    "BasicAuth puser ppass\nMaxClients 8\n"
                                    "LogFile \"" + dir.file("tinyproxy.log") + "\"\n"
                                    "PidFile \"" + dir.file("tinyproxy.pid") + "\"\n");
  }

  bool start() { return launch({kProgram, "-d", "-c", dir_.file("tinyproxy.conf")}, "tinyproxy"); }
};

}  // namespace net_test
