#include "rondel/output/rip_jobs.h"

namespace rondel {

void copySelected(MainWindow&) {}
void copyAll(MainWindow&) {}

}  // namespace rondel
