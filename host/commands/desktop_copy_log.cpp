#include "host/commands/desktop_copy_log.h"

#include <cstdio>

#include "host/commands/command_options.h"
#include "host/view/rip_report.h"
#include "platform/winpath.h"
#include "sdk/rondel_window.h"
#include "sdk/ui/list_view.h"
#include "sdk/ui/push_button.h"

namespace qomhost {

namespace window = rondel::window;

bool DesktopCopyLog::poll() {
  bool changed = false;
  for (const qom::Guid& guid : windows_.shownWindows()) {
    qom::ui::Window* owner = windows_.window(guid);
    if (owner == nullptr) continue;
    auto* list = qom::ui::windowAs<qom::ui::ListView>(owner->findByName(window::kTrackList));
    auto* cancel = qom::ui::windowAs<qom::ui::PushButton>(owner->findByName(window::kCancelButton));
    if (list == nullptr || cancel == nullptr) continue;
    Watch& watch = watches_[guid.toString()];

    std::map<std::uint32_t, std::string> status;
    std::string checks;
    for (int r = 0; r < list->rowCount() && r < 99; ++r) {
      const std::uint32_t track = list->itemData(r);
      status[track] = list->cell(r, window::kColumnStatus);
      checks += owner->property(window::ripVerdictProperty(track)) + ";";
    }
    if (checks != watch.checks) {
      watch.checks = checks;
      changed = true;
    }

    const bool copying = cancel->enabled();
    if (copying && !watch.copying) {
      watch.startStatus = status;
      watch.inCopy.clear();
      watch.logPending = false;
    }
    if (copying || watch.copying)
      for (const auto& [track, text] : status)
        if (watch.startStatus[track] != text || text.rfind("Copying", 0) == 0) watch.inCopy[track] = true;
    if (!copying && watch.copying) {
      watch.logPending = true;
      watch.endedAt = Clock::now();
    }
    watch.copying = copying;

    const bool lookupDone = owner->property(window::kAccurateRipLookupProperty) != "pending";
    if (!watch.logPending || (!lookupDone && Clock::now() - watch.endedAt < lookupWait_)) continue;
    watch.logPending = false;
    std::vector<CopiedTrack> tracks;
    for (int r = 0; r < list->rowCount() && r < 99; ++r) {
      const std::uint32_t track = list->itemData(r);
      if (!watch.inCopy[track]) continue;
      CopiedTrack t{track, list->cell(r, window::kColumnTrack), list->cell(r, window::kColumnStatus), ""};
      if (auto native = platform::toNativePath(owner->property(window::ripFileProperty(track)))) t.file = *native;
      tracks.push_back(std::move(t));
    }
    const std::vector<std::string> names = driveNames(session_);
    const std::string polled = owner->property(window::kPolledDriveProperty);
    std::string drive;
    if (!polled.empty() && polled.size() < 3 && polled.find_first_not_of("0123456789") == std::string::npos &&
        static_cast<std::size_t>(std::stoi(polled)) < names.size())
      drive = names[static_cast<std::size_t>(std::stoi(polled))];
    bool anyFile = false;
    for (const CopiedTrack& t : tracks) anyFile = anyFile || !t.file.empty();
    if (!anyFile) continue;
    std::string problem;
    const std::string path = writeRipLog(collectRipLog(session_, *owner, drive, tracks), problem);
    if (path.empty())
      std::fprintf(stderr, "qomhost: no rip log: %s\n", problem.c_str());
    else
      std::fprintf(stderr, "qomhost: rip log %s\n", path.c_str());
  }
  return changed;
}

}  // namespace qomhost
