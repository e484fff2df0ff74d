// The AccurateRip database file reader and the verdicts on hostile bodies:
// the first 4 input bytes choose the disc's audio track count (1..99) and
// ids, the rest is the body, read once as it is and once behind a
// well-formed response of that disc. Whatever the body holds, a refusal
// leaves nothing, an acceptance holds only responses of the disc that
// cover the whole body, and every verdict stays within what was read: the
// fuzzer traps otherwise. cddb-server's file names go through their check
// too, which may accept only the layout's one shape.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/verify/accuraterip.h"
#include "tools/cddb-server/accuraterip_files.h"

namespace {

void check(const std::string& body, const verify::DiscIds& disc) {
  std::vector<verify::Response> responses(1);
  std::string problem;
  const bool ok = verify::parseDatabaseFile(body, disc, responses, &problem);
  if (!ok) {
    if (!responses.empty() || problem.empty()) __builtin_trap();
    return;
  }
  if (responses.size() * (13 + 9 * disc.audioTracks) != body.size()) __builtin_trap();
  unsigned most = 0;
  for (const verify::Response& r : responses) {
    if (r.id1 != disc.id1 || r.id2 != disc.id2 || r.freedb != disc.freedb) __builtin_trap();
    if (r.tracks.size() != disc.audioTracks) __builtin_trap();
    most += 255;
  }
  if (verify::databaseFile(responses) != body) __builtin_trap();
  for (unsigned t = 0; t <= disc.audioTracks; ++t) {
    const verify::Verdict v = verify::verdictFor(responses, t, 0x12345678u, responses[0].tracks.empty()
                                                                                 ? 0u
                                                                                 : responses[0].tracks[0].checksum);
    if (v.total > most || v.confidence > v.total) __builtin_trap();
    verify::Verdict back;
    if (!verify::parseVerdictText(verify::verdictText(v), back)) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  verify::DiscIds disc;
  disc.audioTracks = 1 + data[0] % 99;
  disc.id1 = data[1] * 0x01010101u;
  disc.id2 = data[2] * 0x00010001u;
  disc.freedb = data[3] * 0x01000001u;
  const std::string body(reinterpret_cast<const char*>(data) + 4, size - 4);
  check(body, disc);
  verify::Response own{disc.id1, disc.id2, disc.freedb, std::vector<verify::TrackEntry>(disc.audioTracks)};
  check(verify::databaseFile({own}) + body, disc);

  const std::string path(reinterpret_cast<const char*>(data), size);
  if (const auto name = cddb_server::accurateRipFileName(path)) {
    if (name->size() != 45 || name->find("..") != std::string::npos) __builtin_trap();
    std::size_t slashes = 0;
    for (char c : *name) slashes += c == '/';
    if (slashes != 3 || name->compare(41, 4, ".bin") != 0) __builtin_trap();
  }
  return 0;
}
