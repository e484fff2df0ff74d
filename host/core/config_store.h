#pragma once
// The host's configuration store: every component group's values in one
// JSON file (UTF-8), written atomically on each change. A corrupt or
// unreadable file is reported, set aside under a new name and replaced by
// defaults; it is never overwritten silently.
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "sdk/config.h"

namespace qomhost {

class ConfigStore final : public qom::ConfigObserver {
 public:
  // Folder of the file: `dir` when given, else $XDG_CONFIG_HOME/qomhost,
  // else $HOME/.config/qomhost.
  static std::string defaultFolder();

  // Bounds on what is read: no setting needs a longer value, and a file
  // past the size is taken for a damaged one (set aside, defaults used).
  static constexpr std::size_t kMaxValueBytes = 4096;
  static constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;

  explicit ConfigStore(std::string folder);
  // Reads the file; false when it was missing (defaults apply). A bad file is
  // reported and set aside here.
  bool load();
  const std::string& filePath() const { return path_; }

  // Loads the stored values into a group's items, then watches the group.
  void attach(qom::ConfigGroup* group);
  void detach(qom::ConfigGroup* group);

  std::optional<std::string> storedValue(const std::string& groupGuid,
                                         const std::string& item) const;
  // False once a change could not be written (or the file could not be set
  // aside, so nothing is written this session).
  bool changesSaved() const;

  // Changes of the item named `item` (in any group) are applied but never
  // written from now on, so an option can set it for one command without
  // changing the stored setting.
  void keepUnsaved(const std::string& item);

  int dispatch(int message, void* result, void** args, int argCount) override;

  // group GUID text -> (group name, item -> value in Windows-1252)
  struct GroupValues {
    std::string name;
    std::map<std::string, std::string> values;
  };

 private:
  void itemChanged(qom::ConfigGroup* group, qom::ConfigItem* item);
  // Writes the file with one changed item laid over what is on disk now
  // (mutex_ held; the file lock is taken inside).
  bool save(const std::string& changedGroup, const std::string& changedItem);

  std::string folder_;
  std::string path_;
  mutable std::mutex mutex_;
  // What this process knows of the file: loaded at start, refreshed from
  // the file at each save. Guarded by mutex_.
  std::map<std::string, GroupValues> groups_;
  std::set<std::string> unsaved_;  // keepUnsaved; guarded by mutex_
  bool writable_ = true;  // false after a file could not be set aside
  bool lastSaveOk_ = true;
};

}  // namespace qomhost
