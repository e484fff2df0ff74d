#pragma once
// Tables of contents as a drive library reports them: start times count the
// 2-second lead-in, the lead-out is entry 0.
#include <cstdint>
#include <vector>

#include "sdk/cdr_api.h"

namespace metadata_test {

// `starts` are the tracks' first sectors (LBA), numbered from 1; `dataTracks`
// are track numbers whose control byte marks data.
inline CdToc makeToc(const std::vector<std::uint32_t>& starts, std::uint32_t leadOut,
                     const std::vector<std::uint32_t>& dataTracks = {}) {
  CdToc toc{};
  toc.firstTrack = 1;
  toc.lastTrack = static_cast<std::uint32_t>(starts.size());
  auto set = [&](std::size_t index, std::uint32_t sector) {
    CdTocEntry& e = toc.entries[index];
    e.startSector = sector;
    e.startMinute = (sector + 150) / 75 / 60;
    e.startSecond = (sector + 150) / 75 % 60;
    e.startFrame = (sector + 150) % 75;
  };
  set(0, leadOut);
  for (std::size_t i = 0; i < starts.size(); ++i) set(i + 1, starts[i]);
  for (std::uint32_t t : dataTracks) toc.entries[t].control = kCdControlData;
  return toc;
}

}  // namespace metadata_test
