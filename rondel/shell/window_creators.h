#pragma once
// The two window creator services: the main window (asked for by the
// component GUID) and the launcher icon (asked for by type "buck", index 0).
#include <mutex>
#include <set>

#include "sdk/service.h"
#include "sdk/ui/window.h"

namespace rondel {

// Counts the windows it has issued and deletes only its own. A creator that
// checks its count treats destroying with nothing issued, and being
// destroyed itself while windows are still out, as faults.
class IssuingWindowCreator : public qom::WindowCreator {
 public:
  explicit IssuingWindowCreator(bool checkCount) : checkCount_(checkCount) {}
  ~IssuingWindowCreator() override;
  int dispatch(int message, void* result, void** args, int argCount) override;
  int issued() const;

 protected:
  virtual qom::ui::Window* createByGuid(const qom::Guid&, qom::ui::Window*) { return nullptr; }
  virtual qom::ui::Window* createByType(const char*, qom::ui::Window*, int) { return nullptr; }
  qom::ui::Window* issue(qom::ui::Window* window);

 private:
  int destroy(qom::ui::Window* window);
  const bool checkCount_;
  mutable std::mutex mutex_;
  std::set<qom::ui::Window*> windows_;
};

class MainWindowCreator final : public IssuingWindowCreator {
 public:
  MainWindowCreator() : IssuingWindowCreator(true) {}

 protected:
  qom::ui::Window* createByGuid(const qom::Guid& guid, qom::ui::Window* parent) override;
};

class LauncherIconCreator final : public IssuingWindowCreator {
 public:
  LauncherIconCreator() : IssuingWindowCreator(false) {}

 protected:
  qom::ui::Window* createByType(const char* type, qom::ui::Window* parent, int index) override;
};

}  // namespace rondel
