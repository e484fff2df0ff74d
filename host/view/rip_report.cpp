#include "host/view/rip_report.h"

#include "platform/codepage.h"
#include "sdk/rondel_window.h"

namespace qomhost {

namespace window = rondel::window;

TrackCheck readTrackCheck(const qom::ui::Window& owner, std::uint32_t track) {
  return parseTrackCheck(owner.property(window::ripCrc32Property(track)),
                         owner.property(window::ripAccurateRipV1Property(track)),
                         owner.property(window::ripAccurateRipV2Property(track)),
                         owner.property(window::ripVerdictProperty(track)));
}

DiscAccurateRip readDiscAccurateRip(const qom::ui::Window& owner) {
  DiscAccurateRip disc;
  disc.id1 = owner.property(window::kAccurateRipId1Property);
  disc.id2 = owner.property(window::kAccurateRipId2Property);
  disc.freedb = owner.property(window::kAccurateRipFreedbProperty);
  disc.path = owner.property(window::kAccurateRipPathProperty);
  disc.lookup = owner.property(window::kAccurateRipLookupProperty);
  disc.error = owner.property(window::kAccurateRipErrorProperty);
  disc.fileHex = owner.property(window::kAccurateRipFileProperty);
  return disc;
}

DiscAccurateRip latestDiscAccurateRip(const qom::ui::Window& owner, const DiscAccurateRip& before) {
  DiscAccurateRip now = readDiscAccurateRip(owner);
  return now.id1.empty() ? before : now;
}

RipLog collectRipLog(HostSession& session, const qom::ui::Window& owner, const std::string& drive,
                     const DiscAccurateRip& disc, const std::vector<CopiedTrack>& tracks) {
  RipLog log;
  log.date = logDate();
  log.drive = platform::cp1252ToUtf8(drive);
  log.identity = identifyDrive(drive);
  const auto item = [&](const char* name) {
    qom::ConfigItem* i = session.findItem(name);
    return i != nullptr ? i->text() : std::string();
  };
  log.resync = item("Resync") == "1";
  log.format = platform::cp1252ToUtf8(item("Format"));
  log.id1 = disc.id1;
  log.id2 = disc.id2;
  log.freedb = disc.freedb;
  log.databasePath = platform::cp1252ToUtf8(disc.path);
  log.lookup = platform::cp1252ToUtf8(disc.lookup);
  log.lookupError = platform::cp1252ToUtf8(disc.error);
  for (const CopiedTrack& t : tracks) {
    RipLog::Track logged;
    logged.number = t.number;
    logged.title = platform::cp1252ToUtf8(t.title);
    logged.status = platform::cp1252ToUtf8(t.status);
    logged.file = t.file;
    if (t.status == window::kStatusCopied) logged.check = readTrackCheck(owner, t.number);
    log.tracks.push_back(std::move(logged));
  }
  return log;
}

}  // namespace qomhost
