#include "host/commands/format_choice.h"

#include <algorithm>
#include <iostream>
#include <optional>

#include "host/commands/command_options.h"
#include "host/core/text_list.h"

namespace qomhost {

bool formatChoiceAllowed(HostSession& session, const std::string& key, const std::string& value,
                         const std::string& valueUtf8) {
  if (key != "Format") return true;
  const std::string feed = session.feedOfItem(key);
  const auto list = feed.empty() ? std::nullopt : session.host().feedList(feed);
  // Without a list to check against (a component that offers none), the
  // component's own handling stands.
  if (!list) return true;
  std::vector<std::string> labels = splitList(*list);
  labels.erase(std::remove(labels.begin(), labels.end(), std::string()), labels.end());
  if (std::find(labels.begin(), labels.end(), value) != labels.end()) return true;
  std::cerr << "qomhost: \"Format\" must be one of the offered labels, not \"" << valueUtf8
            << "\":\n";
  for (const std::string& label : labels) std::cerr << "  " << out(label) << "\n";
  return false;
}

}  // namespace qomhost
