#include "host/commands/config_command.h"

#include <algorithm>
#include <iostream>

#include "host/commands/command_options.h"
#include "host/commands/format_choice.h"
#include "host/commands/output_folder.h"
#include "host/core/config_store.h"
#include "host/core/text_list.h"
#include "platform/codepage.h"
#include "platform/winpath.h"
#include "sdk/config.h"

namespace qomhost {
namespace {

qom::ConfigItem* requireItem(HostSession& session, const std::string& key) {
  qom::ConfigItem* item = session.findItem(key);
  if (item == nullptr) std::cerr << "qomhost: unknown configuration key \"" << key << "\"\n";
  return item;
}

constexpr const char* kOutputFolder = "Output Folder";

// An item's value for the terminal: the output folder in native form.
std::string shownValue(qom::ConfigItem& item) {
  const std::string text = item.text();
  return item.name() == std::string(kOutputFolder) ? outNative(shownFolder(text)) : out(text);
}

}  // namespace

int configList(HostSession& session) {
  for (qom::ConfigGroup* g : session.host().configGroups())
    for (int i = 0; i < g->itemCount(); ++i)
      if (qom::ConfigItem* item = g->itemAt(i))
        std::cout << out(item->name()) << " = " << shownValue(*item) << "\n";
  return 0;
}

int configGet(HostSession& session, const std::string& keyUtf8) {
  qom::ConfigItem* item = requireItem(session, platform::utf8ToCp1252(keyUtf8));
  if (item == nullptr) return kExitUsage;
  std::cout << shownValue(*item) << "\n";
  return 0;
}

int configSet(HostSession& session, const std::string& keyUtf8, const std::string& valueUtf8) {
  const std::string key = platform::utf8ToCp1252(keyUtf8);
  qom::ConfigItem* item = requireItem(session, key);
  if (item == nullptr) return kExitUsage;
  std::string value = platform::utf8ToCp1252(valueUtf8);
  if (value.size() > ConfigStore::kMaxValueBytes) {
    std::cerr << "qomhost: a value of \"" << keyUtf8 << "\" can be at most "
              << ConfigStore::kMaxValueBytes << " bytes long, not " << value.size() << "\n";
    return kExitUsage;
  }
  if (key == kOutputFolder && platform::isNetworkSharePath(value)) {
    std::cerr << "qomhost: \"Output Folder\" cannot be a network share (" << valueUtf8
              << "): mount it and give the mounted folder under a drive letter (/ is Z:\\, "
                 "$HOME is C:\\, more with QOM_DRIVE_MAP)\n";
    return kExitUsage;
  }
  if (key == kOutputFolder) {
    const std::optional<std::string> folder = componentFolder(valueUtf8);
    if (!folder) {
      std::cerr << "qomhost: the component cannot name the folder " << outNative(valueUtf8)
                << " (it must lie under a drive letter: / is Z:\\, $HOME is C:\\, see "
                   "QOM_DRIVE_MAP; names must fit Windows-1252 and the path 260 characters)\n";
      return kExitUsage;
    }
    value = *folder;
  }
  if (!formatChoiceAllowed(session, key, value, valueUtf8)) return kExitUsage;
  if (item->type() == qom::kConfigTypeBool) {
    if (value != "0" && value != "1") {
      std::cerr << "qomhost: \"" << keyUtf8 << "\" is on or off: give 0 or 1, not \"" << valueUtf8
                << "\"\n";
      return kExitUsage;
    }
  } else if (std::string feed = session.feedOfItem(key); !feed.empty()) {
    // The component takes values outside its lists (a custom server, a drive
    // that is gone), so this is only a note.
    if (auto list = session.host().feedList(feed)) {
      auto items = splitList(*list);
      if (std::find(items.begin(), items.end(), value) == items.end())
        std::cerr << "qomhost: note: \"" << valueUtf8 << "\" is not one of the values offered for \""
                  << keyUtf8 << "\" (" << out(*list) << ")\n";
    }
  }
  if (!item->setText(value.c_str())) {
    std::cerr << "qomhost: \"" << keyUtf8 << "\" does not take \"" << valueUtf8 << "\"\n";
    return kExitUsage;
  }
  if (!session.store().changesSaved()) {
    std::cerr << "qomhost: the new value of \"" << keyUtf8 << "\" was not saved to "
              << session.store().filePath() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace qomhost
