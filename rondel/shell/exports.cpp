// The module's three exports and its one component object.
#include <atomic>

#include "rondel/shell/rondel_component.h"

namespace rondel {
namespace {
// The first handle QOM_init received; later calls change only the
// component's own copy.
std::atomic<qom::ModuleHandle> g_moduleHandle{0};
}  // namespace

RondelComponent& theComponent() {
  static RondelComponent component;
  return component;
}

// Builds the component object while the module is being loaded, before the
// host calls any export.
[[maybe_unused]] static const bool g_constructed = (theComponent(), true);

}  // namespace rondel

#define QOM_EXPORT extern "C" __attribute__((visibility("default")))

QOM_EXPORT int QOM_getVersion() { return qom::kComponentApiVersion; }

QOM_EXPORT int QOM_init(qom::ModuleHandle module) {
  rondel::theComponent().setComponentModuleHandle(module);
  qom::ModuleHandle none = 0;
  rondel::g_moduleHandle.compare_exchange_strong(none, module);
  return 1;
}

QOM_EXPORT qom::Component* QOM_enumComponent() { return &rondel::theComponent(); }
