// Handing a read disc to the database lookup, and what a lookup thread may
// write into the window. Each lookup has a generation; starting a new one
// bumps lookupGeneration_, which asks every earlier lookup to stop and keeps
// it from writing. The bump and every lookup write take entriesMutex_, so a
// superseded lookup's writes all come before the bump.
#include <cstring>
#include <system_error>

#include "rondel/metadata/lookup_thread.h"
#include "rondel/ui/entries_drop_down.h"
#include "rondel/ui/main_window.h"

namespace rondel {
namespace {

using window::kDiscIdProperty;
using window::kQueryProperty;
using window::kStatusQuerying;

}  // namespace

void MainWindow::supersedeLookups() {
  {
    std::lock_guard<std::mutex> lock(entriesMutex_);
    ++lookupGeneration_;
    setProperty(kDiscIdProperty, "");
    setProperty(kQueryProperty, "");
    setProperty(window::kLookupErrorProperty, "");
  }
  // After the bump no earlier lookup adds an item: what it added goes.
  clearEntries();
}

void MainWindow::startLookup() {
  // The caller has superseded every earlier lookup (supersedeLookups).
  startAccurateRipLookup();
  if (!settings_.useFreedb()) {
    setStatus(window::kStatusReady);
    return;
  }
  const std::uint64_t generation = lookupGeneration_.load();
  setStatus(kStatusQuerying);
  auto start = std::make_unique<LookupStart>();
  start->toc = toc_;
  start->owner = this;
  start->generation = generation;
  start->limits = FetchLimits::fromEnvironment();
  start->settings.freedbServer = settings_.freedbServer();
  start->settings.useProxy = settings_.useProxy();
  start->settings.proxyServer = settings_.proxyServer();
  start->settings.email = settings_.email();
  try {
    lookups_.start(std::move(start));
  } catch (const std::system_error&) {
    // No thread, so nothing will hand the status back: it must not say
    // "Querying freedb..." for ever.
    setStatus(window::kStatusReady);
  }
}

bool MainWindow::lookupStopRequested(std::uint64_t generation) const {
  return lookupStop_.load() || lookupGeneration_.load() != generation;
}

void MainWindow::lookupQuerying(std::uint64_t generation, const std::string& discId,
                                const std::string& queryUrl) {
  std::lock_guard<std::mutex> lock(entriesMutex_);
  if (!windowAlive() || lookupStopRequested(generation)) return;
  setProperty(kDiscIdProperty, discId);
  setProperty(kQueryProperty, queryUrl);
}

int MainWindow::offerEntry(std::uint64_t generation, const std::string& caption, FreedbEntry entry) {
  std::lock_guard<std::mutex> lock(entriesMutex_);
  if (!windowAlive() || lookupStopRequested(generation)) return -1;
  const int id = entries_->addItem(caption);
  entriesMap_[id] = std::move(entry);
  return id;
}

void MainWindow::chooseEntry(std::uint64_t generation, int id) {
  {
    std::lock_guard<std::mutex> lock(entriesMutex_);
    if (!windowAlive() || lookupStopRequested(generation)) return;
  }
  // Outside the lock: the pick (applyEntry) takes it on the window thread.
  // Should a newer disc have come meanwhile, the entry's table of contents
  // keeps it from being applied.
  entries_->selectItem(id);
}

void MainWindow::lookupFailed(std::uint64_t generation, const std::string& reason) {
  std::lock_guard<std::mutex> lock(entriesMutex_);
  if (!windowAlive() || lookupStopRequested(generation)) return;
  // A status line of a hostile server could be long; the reason needs little.
  setProperty(window::kLookupErrorProperty, reason.substr(0, 512));
}

void MainWindow::lookupEnded(std::uint64_t generation) {
  // On the window thread, after the pick posted before it: "Ready" then
  // means the first entry is applied. Only the current lookup hands the
  // status back, and only while it still says so ("No Disc" stays).
  onWindowThread([this, generation] {
    if (!lookupStopRequested(generation) && status_->text() == kStatusQuerying)
      setStatus(window::kStatusReady);
  });
}

}  // namespace rondel
