#pragma once
// The component object: one static instance from module load to unload.
#include "sdk/component.h"

namespace rondel {

class RondelComponent final : public qom::ComponentBase {
 public:
  // Runs the whole static set-up in its fixed order: library folder, drive
  // library and drives, encoder libraries, resources, configuration items.
  RondelComponent();
  ~RondelComponent() override;

  void onHostReady() override;

 private:
  void registerPreferencePages();
};

// The static instance (built at module load).
RondelComponent& theComponent();

}  // namespace rondel
