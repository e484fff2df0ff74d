#include "platform/resources.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>

namespace platform {
namespace {

// A module's table is compiled in, but its count is still not trusted to be
// sane: the walk stops here whatever the table claims.
constexpr std::size_t kMaxResourceEntries = 1 << 16;

void* mainProgram() {
  static void* const handle = dlopen(nullptr, RTLD_NOW);
  return handle;
}

// dlsym on a handle also searches the module's dependencies, so a module
// without a table of its own could be handed the table of a library it links
// against. Only a table defined in the module itself counts.
bool definedIn(const void* address, void* handle) {
  link_map* wanted = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &wanted) != 0 || wanted == nullptr) return false;
  Dl_info info{};
  link_map* owner = nullptr;
  if (dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0) {
    return false;
  }
  return owner == wanted;
}

}  // namespace

ResourceData findResource(ModuleHandle module, std::uint32_t type, std::uint32_t id) {
  void* handle = module == 0 ? mainProgram() : reinterpret_cast<void*>(module);
  if (handle == nullptr) return {};
  dlerror();
  const auto* table = static_cast<const ResourceTable*>(dlsym(handle, "QOM_resourceTable"));
  if (table == nullptr || !definedIn(table, handle) || table->entries == nullptr) return {};
  const std::size_t count = std::min(table->count, kMaxResourceEntries);
  for (std::size_t i = 0; i < count; ++i) {
    const ResourceEntry& entry = table->entries[i];
    if (entry.type != type || entry.id != id) continue;
    if (entry.data == nullptr) return {};
    return ResourceData{entry.data, entry.size};
  }
  return {};
}

}  // namespace platform
