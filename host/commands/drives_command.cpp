#include "host/commands/drives_command.h"

#include <cctype>
#include <iostream>

#include "host/commands/command_options.h"
#include "host/core/text_list.h"

namespace qomhost {
namespace {

std::string lowercase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

int listDrives(HostSession& session) {
  bool any = false;
  for (const auto& module : session.modules()) {
    auto list = session.host().feedList(lowercase(module->component->name()) + ":DEVICES");
    if (!list) continue;
    auto names = splitList(*list);
    for (std::size_t i = 0; i < names.size(); ++i) {
      std::cout << i << "\t" << out(names[i]) << "\n";
      any = true;
    }
  }
  if (!any) std::cerr << "qomhost: no drives\n";
  return 0;
}

}  // namespace qomhost
