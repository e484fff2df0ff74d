#pragma once
// `qomhost config list|get|set`: the components' configuration items as the
// configuration store keeps them.
#include <string>

#include "host/core/host_session.h"

namespace qomhost {

// Every item with its value, in order.
int configList(HostSession& session);
// One item's value; kExitUsage for an unknown key.
int configGet(HostSession& session, const std::string& keyUtf8);
// Changes one item and checks it was saved; kExitUsage for an unknown key
// or a value the item does not take, kExitFailed when it was not saved.
int configSet(HostSession& session, const std::string& keyUtf8, const std::string& valueUtf8);

}  // namespace qomhost
