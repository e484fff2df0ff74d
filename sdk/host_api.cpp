#include "sdk/host_api.h"

#include <atomic>

namespace qom {
namespace {
std::atomic<HostApi*> g_hostApi{nullptr};
}
HostApi* hostApi() { return g_hostApi.load(std::memory_order_acquire); }
void setHostApi(HostApi* api) { g_hostApi.store(api, std::memory_order_release); }
}  // namespace qom
