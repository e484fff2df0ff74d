#include "host/core/rip_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sstream>

#include "platform/unique_fd.h"
#include "sdk/rondel_window.h"

#ifndef QOMHOST_VERSION
#define QOMHOST_VERSION "unknown"
#endif

namespace qomhost {
namespace {

namespace fs = std::filesystem;

// A text from the component or a file name on one line of the log:
// controls (a newline in a title would forge a log line) become "?".
std::string oneLine(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return out;
}

std::string orDash(const std::string& text) { return text.empty() ? "-" : oneLine(text); }

std::string offsetText(const DriveIdentity& identity) {
  if (identity.path.empty()) return "not known (not a drive device)";
  if (identity.offset) {
    const std::int32_t n = *identity.offset;
    return (n > 0 ? "+" : "") + std::to_string(n) + " samples (offsets file)";
  }
  return "not set (0)";
}

}  // namespace

std::string logDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[64];
  if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local) == 0) return "";
  return text;
}

std::string renderRipLog(const RipLog& log) {
  std::ostringstream out;
  out << "qomhost " << QOMHOST_VERSION << " rip log\n"
      << "Date:          " << orDash(log.date) << "\n\n"
      << "Drive:         " << orDash(log.drive) << "\n"
      << "Vendor:        " << orDash(log.identity.vendor) << "\n"
      << "Model:         " << orDash(log.identity.model) << "\n"
      << "Read offset:   " << offsetText(log.identity) << "\n"
      << "Resync:        " << (log.resync ? "on" : "off") << "\n"
      << "Output format: " << orDash(log.format) << "\n\n"
      << "AccurateRip disc ids: " << orDash(log.id1) << " " << orDash(log.id2) << " "
      << orDash(log.freedb) << "\n"
      << "Database file: " << orDash(log.databasePath) << "\n"
      << "Lookup:        " << orDash(log.lookup);
  if (!log.lookupError.empty()) out << " (" << oneLine(log.lookupError) << ")";
  out << "\n\n";

  std::vector<TrackCheck> checks;
  std::size_t copied = 0;
  bool notAccurate = false;
  for (const RipLog::Track& t : log.tracks) {
    char head[32];
    std::snprintf(head, sizeof head, "Track %2u", static_cast<unsigned>(t.number % 100));
    out << head << "  " << oneLine(t.title) << "\n"
        << "  File:        " << orDash(t.file) << "\n"
        << "  Status:      " << orDash(t.status) << "\n";
    if (t.status == rondel::window::kStatusCopied) ++copied;
    if (t.check.hasChecksums()) {
      out << "  Copy CRC:    " << t.check.crc32 << "\n"
          << "  AccurateRip: v1 " << orDash(t.check.accurateRipV1) << ", v2 "
          << orDash(t.check.accurateRipV2) << "\n"
          << "  Verdict:     " << verdictText(t.check) << "\n";
      checks.push_back(t.check);
      notAccurate = notAccurate || t.check.status == "not_accurate";
    }
    out << "\n";
  }
  out << "Summary: " << log.tracks.size() << (log.tracks.size() == 1 ? " track, " : " tracks, ")
      << copied << " copied; " << verdictSummary(checks) << "\n";
  if (notAccurate && !log.identity.offset)
    out << "The drive's read offset is not set, so no track of this drive can verify:\n"
           "find and save it with \"qomhost offset find --save\", then copy the disc again.\n";
  return out.str();
}

std::string albumFolderOf(const RipLog& log) {
  std::optional<fs::path> common;
  for (const RipLog::Track& t : log.tracks) {
    if (t.file.empty()) continue;
    const fs::path folder = fs::path(t.file).parent_path();
    if (!common) {
      common = folder;
      continue;
    }
    fs::path shared;
    for (auto a = common->begin(), b = folder.begin(); a != common->end() && b != folder.end() && *a == *b;
         ++a, ++b)
      shared /= *a;
    common = shared;
  }
  if (!common) return "";
  // Files of one copy all lie below its output folder, so their shared
  // folder is never the root; if it is, they are not one copy's files, and
  // the log goes beside the first of them instead of spreading upwards.
  if (common->empty() || *common == common->root_path()) {
    for (const RipLog::Track& t : log.tracks)
      if (!t.file.empty()) return fs::path(t.file).parent_path().string();
  }
  return common->string();
}

std::string ripLogFileName(const RipLog& log) {
  const bool idOk = log.freedb.size() == 8 && log.freedb.find_first_not_of("0123456789abcdef") == std::string::npos;
  return idOk ? "Rip log " + log.freedb + ".txt" : "Rip log.txt";
}

std::string writeRipLog(const RipLog& log, std::string& problem) {
  const std::string folder = albumFolderOf(log);
  if (folder.empty()) {
    problem = "no file was written, so there is no folder for the log";
    return "";
  }
  const std::string path = (fs::path(folder) / ripLogFileName(log)).string();
  std::string temporary = path + ".XXXXXX";
  platform::UniqueFd fd(::mkstemp(temporary.data()));
  if (!fd.valid()) {
    problem = "cannot write in " + folder + ": " + std::strerror(errno);
    return "";
  }
  ::fchmod(fd.get(), 0644);
  const bool written = platform::writeAll(fd.get(), renderRipLog(log)) && ::fsync(fd.get()) == 0;
  const int writeError = errno;
  fd.reset();
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    problem = "cannot write " + path + ": " + std::strerror(written ? errno : writeError);
    ::unlink(temporary.c_str());
    return "";
  }
  return path;
}

}  // namespace qomhost
