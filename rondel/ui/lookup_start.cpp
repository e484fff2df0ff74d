// Handing a read disc to the database lookup. The lookup thread comes with
// the lookup work; until then there is nothing to wait for, and the window
// is ready as soon as the disc is listed.
#include "rondel/ui/main_window.h"

namespace rondel {

void MainWindow::startLookup() { setStatus("Ready"); }

}  // namespace rondel
