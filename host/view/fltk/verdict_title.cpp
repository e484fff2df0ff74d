#include "host/view/fltk/verdict_title.h"

#include "host/view/rip_report.h"
#include "sdk/rondel_window.h"
#include "sdk/ui/list_view.h"

namespace qomhost::fltk {

std::string verdictTitle(qom::ui::Window* componentWindow) {
  if (componentWindow == nullptr) return "";
  const auto* list =
      qom::ui::windowAs<qom::ui::ListView>(componentWindow->findByName(rondel::window::kTrackList));
  if (list == nullptr) return "";
  std::string shown;
  for (int r = 0; r < list->rowCount() && r < 99; ++r) {
    const std::uint32_t track = list->itemData(r);
    const TrackCheck check = readTrackCheck(*componentWindow, track);
    if (!check.hasChecksums()) continue;
    std::string verdict = check.accurate() ? "accurate " + std::to_string(check.confidence) + "/" +
                                                 std::to_string(check.total)
                                           : verdictText(check);
    shown += (shown.empty() ? "" : ", ") + std::to_string(track % 100) + " " + verdict;
  }
  return shown.empty() ? "" : "  |  AccurateRip: " + shown;
}

}  // namespace qomhost::fltk
