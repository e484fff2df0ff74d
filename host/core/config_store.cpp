#include "host/core/config_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/codepage.h"
#include "platform/small_file.h"

namespace qomhost {
namespace {

constexpr int kFileFormat = 1;

bool makeFolders(const std::string& folder) {
  std::string partial;
  std::stringstream parts(folder);
  std::string part;
  if (!folder.empty() && folder[0] == '/') partial = "/";
  while (std::getline(parts, part, '/')) {
    if (part.empty()) continue;
    partial += part;
    if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    partial += '/';
  }
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string timestamp() {
  char text[32];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&now, &tm);
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &tm);
  return text;
}

// Reads the file's groups; nullopt with `problem` set when the text is not
// a configuration file of ours. A value longer than kMaxValueBytes is
// dropped, and said so on stderr when `sayDropped` (the load; the re-read
// before a save has said it already).
std::optional<std::map<std::string, ConfigStore::GroupValues>> parseGroups(const std::string& text,
                                                                          std::string* problem,
                                                                          bool sayDropped) {
  std::map<std::string, ConfigStore::GroupValues> groups;
  try {
    nlohmann::json doc = nlohmann::json::parse(text);
    if (!doc.is_object() || !doc.contains("groups") || !doc["groups"].is_object())
      throw std::runtime_error("no \"groups\" object");
    for (auto& [guid, group] : doc["groups"].items()) {
      if (!group.is_object() || !group.contains("values") || !group["values"].is_object())
        throw std::runtime_error("group " + guid + " has no \"values\" object");
      ConfigStore::GroupValues values;
      if (group.contains("name") && group["name"].is_string()) values.name = group["name"];
      for (auto& [item, value] : group["values"].items()) {
        if (!value.is_string()) throw std::runtime_error("value of " + item + " is not a text");
        std::string text = platform::utf8ToCp1252(value.get<std::string>());
        if (text.size() > ConfigStore::kMaxValueBytes) {
          // No setting needs that much; the item keeps its default.
          if (sayDropped)
            std::fprintf(stderr, "qomhost: stored value of %s is longer than %zu bytes; default kept\n",
                         item.c_str(), ConfigStore::kMaxValueBytes);
          continue;
        }
        values.values[platform::utf8ToCp1252(item)] = std::move(text);
      }
      groups[guid] = std::move(values);
    }
    return groups;
  } catch (const std::exception& e) {
    if (problem != nullptr) *problem = e.what();
  }
  return std::nullopt;
}

// An exclusive lock on a file beside the configuration, held while one
// process reads, merges and replaces it, so two processes saving at once
// (the desktop and a `config set`) neither lose each other's change nor
// share the temporary file. Without a lock (a read-only folder) saving goes
// on unlocked, as before.
class FileLock {
 public:
  explicit FileLock(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

}  // namespace

std::string ConfigStore::defaultFolder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
    return std::string(xdg) + "/qomhost";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/.config/qomhost";
}

ConfigStore::ConfigStore(std::string folder)
    : folder_(std::move(folder)), path_(folder_ + "/config.json") {}

bool ConfigStore::load() {
  std::lock_guard<std::mutex> lock(mutex_);
  groups_.clear();
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0 && errno == ENOENT) return false;
  // Never blocks: a FIFO or a device in the file's place is refused before
  // the first read, and a huge file is not read at all.
  const platform::SmallFile file = platform::readSmallFile(path_, kMaxFileBytes);
  std::string problem = file.tooLarge ? "larger than " + platform::sizeText(kMaxFileBytes) : "";
  if (!file.ok && !file.tooLarge) {
    std::fprintf(stderr, "qomhost: cannot read %s: it %s; using defaults and not saving changes\n",
                 path_.c_str(), file.problem.c_str());
    writable_ = false;
    return false;
  }
  if (auto groups = file.ok ? parseGroups(file.text, &problem, true) : std::nullopt) {
    groups_ = std::move(*groups);
    return true;
  }
  groups_.clear();
  const std::string aside = path_ + ".corrupt-" + timestamp();
  if (std::rename(path_.c_str(), aside.c_str()) == 0) {
    std::fprintf(stderr, "qomhost: %s is damaged (%s); kept as %s, using defaults\n",
                 path_.c_str(), problem.c_str(), aside.c_str());
  } else {
    std::fprintf(stderr,
                 "qomhost: %s is damaged (%s) and cannot be set aside (%s); using defaults "
                 "and not saving changes\n",
                 path_.c_str(), problem.c_str(), std::strerror(errno));
    writable_ = false;
  }
  return false;
}

std::optional<std::string> ConfigStore::storedValue(const std::string& groupGuid,
                                                    const std::string& item) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto g = groups_.find(groupGuid);
  if (g == groups_.end()) return std::nullopt;
  auto v = g->second.values.find(item);
  if (v == g->second.values.end()) return std::nullopt;
  return v->second;
}

bool ConfigStore::changesSaved() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writable_ && lastSaveOk_;
}

void ConfigStore::attach(qom::ConfigGroup* group) {
  const std::string guid = group->guid().toString();
  for (int i = 0; i < group->itemCount(); ++i) {
    qom::ConfigItem* item = group->itemAt(i);
    if (item == nullptr) continue;
    if (auto value = storedValue(guid, item->name())) {
      if (!item->setText(value->c_str()))
        std::fprintf(stderr, "qomhost: stored value of %s is not valid for it; default kept\n",
                     platform::cp1252ToUtf8(item->name()).c_str());
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    groups_[guid].name = group->name();
  }
  group->setObserver(this);
}

void ConfigStore::detach(qom::ConfigGroup* group) { group->setObserver(nullptr); }

void ConfigStore::keepUnsaved(const std::string& item) {
  std::lock_guard<std::mutex> lock(mutex_);
  unsaved_.insert(item);
}

void ConfigStore::itemChanged(qom::ConfigGroup* group, qom::ConfigItem* item) {
  if (group == nullptr || item == nullptr) return;
  std::lock_guard<std::mutex> lock(mutex_);
  // Not even this process's picture of the file changes, so a later save of
  // another item writes the stored value back unchanged.
  if (unsaved_.count(item->name()) != 0) return;
  GroupValues& values = groups_[group->guid().toString()];
  values.name = group->name();
  values.values[item->name()] = item->text();
  lastSaveOk_ = save(group->guid().toString(), item->name());
}

bool ConfigStore::save(const std::string& changedGroup, const std::string& changedItem) {
  if (!writable_) return false;
  if (!makeFolders(folder_)) {
    std::fprintf(stderr, "qomhost: cannot create %s: %s\n", folder_.c_str(), std::strerror(errno));
    return false;
  }
  FileLock lock(path_ + ".lock");
  // Another process may have saved since this one loaded: its values are
  // the base, and only the item that changed here is laid over them. A file
  // gone or unreadable meanwhile gives way to what this process holds.
  {
    const platform::SmallFile file = platform::readSmallFile(path_, kMaxFileBytes);
    std::optional<std::map<std::string, GroupValues>> onDisk;
    if (file.ok) onDisk = parseGroups(file.text, nullptr, false);
    if (onDisk) {
      const GroupValues& mine = groups_[changedGroup];
      GroupValues& merged = (*onDisk)[changedGroup];
      merged.name = mine.name;
      auto value = mine.values.find(changedItem);
      if (value != mine.values.end()) merged.values[changedItem] = value->second;
      for (const auto& [guid, group] : groups_) {
        GroupValues& theirs = (*onDisk)[guid];
        if (theirs.name.empty()) theirs.name = group.name;
      }
      groups_ = std::move(*onDisk);
    }
  }

  nlohmann::json doc;
  doc["format"] = kFileFormat;
  doc["groups"] = nlohmann::json::object();
  for (const auto& [guid, group] : groups_) {
    nlohmann::json values = nlohmann::json::object();
    for (const auto& [item, value] : group.values)
      values[platform::cp1252ToUtf8(item)] = platform::cp1252ToUtf8(value);
    doc["groups"][guid] = {{"name", platform::cp1252ToUtf8(group.name)}, {"values", values}};
  }
  const std::string text = doc.dump(2) + "\n";

  // Write a temporary file beside the real one, flush it to disk and rename
  // it over the old file, so a crash leaves either the old or the new file.
  const std::string temp = path_ + ".tmp";
  // Whatever holds the temporary name (a stale copy, a FIFO that would block
  // the open) goes first; the file is then new and ours.
  ::unlink(temp.c_str());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  bool ok = fd >= 0;
  std::size_t done = 0;
  while (ok && done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  if (fd >= 0) ok = ::close(fd) == 0 && ok;
  ok = ok && std::rename(temp.c_str(), path_.c_str()) == 0;
  if (!ok) {
    std::fprintf(stderr, "qomhost: cannot save %s: %s\n", path_.c_str(), std::strerror(errno));
    ::unlink(temp.c_str());
  }
  return ok;
}

int ConfigStore::dispatch(int message, void* result, void** args, int argCount) {
  (void)result;
  if (message != kMsgItemChanged) return 0;
  itemChanged(qom::dispatchArg<qom::ConfigGroup*>(args, argCount, 0),
              qom::dispatchArg<qom::ConfigItem*>(args, argCount, 1));
  return 1;
}

}  // namespace qomhost
