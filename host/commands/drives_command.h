#pragma once
// `qomhost drives`: every drive the components offer, index and name.
#include "host/core/host_session.h"

namespace qomhost {

int listDrives(HostSession& session);

}  // namespace qomhost
