#include "rondel/shell/config_items.h"

#include <atomic>

#include "rondel/rip/format_table.h"

namespace rondel {
namespace {
std::atomic<qom::ConfigGroupImpl*> g_config{nullptr};
}

void addConfigItems(qom::ConfigGroupImpl& group,
                    qom::ConfigItemImpl::ChangeCallback onDeviceChanged) {
  group.addString(key::kFormat, kFormatTable[0].label);
  group.addBool(key::kEject, false);
  group.addBool(key::kUseOutputFolder, false);
  group.addString(key::kOutputFolder, "C:\\My Audio Files");
  group.addString(key::kOutputFilename1, "<artist> - <track>");
  group.addString(key::kOutputFilename2, "<artist> - <album>\\<number>. <track>");
  group.addString(key::kOutputFilename3, "<album>\\<number>. <artist> - <track>");
  group.addString(key::kDevice, "", std::move(onDeviceChanged));
  group.addBool(key::kResync, false);
  group.addBool(key::kUseFreedb, true);
  group.addString(key::kFreedbServer, kFreedbServers[0]);
  group.addBool(key::kUseProxy, false);
  group.addString(key::kProxyServer, "");
  group.addString(key::kEMail, kDefaultEMail);
}

qom::ConfigGroupImpl& config() { return *g_config.load(); }
void setConfig(qom::ConfigGroupImpl* group) { g_config.store(group); }

}  // namespace rondel
