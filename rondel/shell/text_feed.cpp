#include "rondel/shell/text_feed.h"

#include <cstring>
#include <vector>

#include "rondel/drive/drive_library.h"
#include "rondel/rip/format_table.h"
#include "rondel/shell/config_items.h"

namespace rondel {
namespace {
template <class Range, class Text>
std::string join(const Range& items, Text text) {
  std::string out;
  bool first = true;
  for (const auto& item : items) {
    if (!first) out += ';';
    first = false;
    out += text(item);
  }
  return out;
}
}  // namespace

bool RondelTextFeed::serves(const char* name) {
  return name != nullptr && (std::strcmp(name, kListDevices) == 0 ||
                             std::strcmp(name, kListServers) == 0 ||
                             std::strcmp(name, kListFormats) == 0);
}

std::string RondelTextFeed::buildList(const std::string& name) {
  if (name == kListDevices) {
    std::vector<const CdDrive*> drives;
    for (std::uint32_t i = 0; i < driveCount(); ++i) drives.push_back(driveAt(i));
    return join(drives, [](const CdDrive* d) { return d->name(); });
  }
  if (name == kListServers) return join(kFreedbServers, [](const char* s) { return std::string(s); });
  if (name == kListFormats) return join(kFormatTable, [](const FormatRow& r) { return std::string(r.label); });
  return {};
}

int RondelTextFeed::dispatch(int message, void* result, void** args, int argCount) {
  switch (message) {
    case kMsgHasFeed:
      qom::dispatchResult(result, serves(qom::dispatchArg<const char*>(args, argCount, 0)) ? 1 : 0);
      return 1;
    case kMsgRegister: {
      const char* name = qom::dispatchArg<const char*>(args, argCount, 0);
      auto* receiver = qom::dispatchArg<qom::Dispatchable*>(args, argCount, 1);
      if (receiver != nullptr && serves(name)) {
        // The list is built once per registration and handed over at once.
        const std::string list = buildList(name);
        qom::dispatchSend(receiver, kMsgReceiverText, list.c_str());
      }
      return 1;
    }
    case kMsgUnregister: return 1;  // nothing is kept per receiver
    default: return 0;
  }
}

}  // namespace rondel
