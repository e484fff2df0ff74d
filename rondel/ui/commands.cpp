// Commands of the window that reach outside it: the host's preferences and
// the database entry the user picks.
#include "rondel/shell/identity.h"
#include "rondel/ui/main_window.h"
#include "sdk/host_api.h"
#include "sdk/service.h"

namespace rondel {

void MainWindow::openPreferences() {
  qom::HostApi* api = qom::hostApi();
  if (api == nullptr) return;
  qom::ServiceFactory* factory = api->serviceFind(qom::kServiceAction, "Preferences:OPEN");
  if (factory == nullptr) return;
  // The lent instance goes back to its factory on every path.
  struct Lent {
    qom::ServiceFactory* factory;
    qom::Dispatchable* instance;
    ~Lent() {
      if (instance != nullptr) factory->releaseInterface(instance);
    }
  } lent{factory, factory->getInterface()};
  if (lent.instance == nullptr) return;
  // The page to open is the component's top page, whose GUID is the
  // component GUID.
  const std::string guid = kComponentGuid.toString();
  static_cast<qom::ActionService*>(lent.instance)->run("Preferences:OPEN", guid.c_str());
}

void MainWindow::applyEntry(int) { loadFieldsFromSelection(); }

}  // namespace rondel
