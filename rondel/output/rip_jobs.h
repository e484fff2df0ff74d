#pragma once
// The copy commands of the main window: they queue one rip job per chosen
// row. The ripping work fills them in; for now they queue nothing.
namespace rondel {

class MainWindow;

// Window thread.
void copySelected(MainWindow& window);
void copyAll(MainWindow& window);

}  // namespace rondel
