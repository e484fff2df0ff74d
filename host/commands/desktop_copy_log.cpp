#include "host/commands/desktop_copy_log.h"

#include <algorithm>
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

    std::string checks;
    for (int r = 0; r < list->rowCount() && r < 99; ++r) {
      const std::uint32_t track = list->itemData(r);
      watch.titles[track] = list->cell(r, window::kColumnTrack);
      checks += std::to_string(track) + owner->property(window::ripVerdictProperty(track)) + ";";
    }
    if (checks != watch.checks) {
      watch.checks = checks;
      changed = true;
    }
    const bool copying = cancel->enabled();
    bool moved = false;
    for (const auto& [track, title] : watch.titles) {
      const std::string status = owner->property(window::ripStatusProperty(track));
      std::string& last = watch.lastStatus[track];
      if (status == last) continue;
      last = status;
      if (status.empty()) continue;
      if (!watch.active) {
        watch.active = true;
        watch.inCopy.clear();
        watch.disc = {};
      }
      moved = true;
      if (std::find(watch.inCopy.begin(), watch.inCopy.end(), track) == watch.inCopy.end())
        watch.inCopy.push_back(track);
    }
    if (copying && !watch.active) {
      watch.active = true;
      watch.inCopy.clear();
      watch.disc = {};
    }
    if (watch.active) watch.disc = latestDiscAccurateRip(*owner, watch.disc);
    if (watch.active && !copying && !moved) {
      watch.active = false;
      watch.logPending = !watch.inCopy.empty();
      watch.endedAt = Clock::now();
    }

    const bool lookupDone = owner->property(window::kAccurateRipLookupProperty) != rondel::window::kLookupPending;
    if (!watch.logPending || (!lookupDone && Clock::now() - watch.endedAt < lookupWait_)) continue;
    watch.logPending = false;
    watch.disc = latestDiscAccurateRip(*owner, watch.disc);
    std::vector<CopiedTrack> tracks;
    bool anyFile = false;
    std::sort(watch.inCopy.begin(), watch.inCopy.end());
    for (const std::uint32_t track : watch.inCopy) {
      CopiedTrack t{track, watch.titles[track], owner->property(window::ripStatusProperty(track)), ""};
      if (auto native = platform::toNativePath(owner->property(window::ripFileProperty(track)))) t.file = *native;
      anyFile = anyFile || !t.file.empty();
      tracks.push_back(std::move(t));
    }
    if (!anyFile) continue;
    const std::vector<std::string> names = driveNames(session_);
    const std::string polled = owner->property(window::kPolledDriveProperty);
    std::string drive;
    if (!polled.empty() && polled.size() < 3 && polled.find_first_not_of("0123456789") == std::string::npos &&
        static_cast<std::size_t>(std::stoi(polled)) < names.size())
      drive = names[static_cast<std::size_t>(std::stoi(polled))];
    std::string problem;
    const std::string path = writeRipLog(collectRipLog(session_, *owner, drive, watch.disc, tracks), problem);
    if (path.empty())
      std::fprintf(stderr, "qomhost: no rip log: %s\n", problem.c_str());
    else
      std::fprintf(stderr, "qomhost: rip log %s\n", path.c_str());
  }
  return changed;
}

}  // namespace qomhost
