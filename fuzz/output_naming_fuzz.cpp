// Field values from a hostile entry through the output naming and the rip
// worker's path steps: whatever the artist, album and title, the path fits
// its limit and maps inside the output folder (or at most to the folder
// itself, which the worker refuses), numbered names too. The first byte
// picks the pattern; the rest is artist, album and title split at "\n".
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/winpath.h"
#include "rondel/output/output_naming.h"
#include "rondel/rip/output_paths.h"

namespace {

bool insideOut(const std::string& path) {
  const auto native = platform::toNativePath(path);
  return !native || *native == "/out" || native->rfind("/out/", 0) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const char* const kPatterns[] = {"<artist> - <track>", "<artist> - <album>\\<number>. <track>",
                                          "<album>\\<number>. <artist> - <track>", "<track>.<album>"};
  const std::string pattern = std::string("Z:\\out\\") + kPatterns[data[0] % 4];
  std::string fields[3];
  std::size_t field = 0;
  for (std::size_t i = 1; i < size; ++i) {
    if (data[i] == '\n' && field < 2) ++field;
    else fields[field] += static_cast<char>(data[i]);
  }
  const rondel::NamedOutput named = rondel::nameOutputPath(pattern, data[0], fields[0], fields[1], fields[2]);
  if (named.path.size() > rondel::kMaxJobPath || named.folder != "Z:\\out\\") __builtin_trap();
  if (!insideOut(named.path)) __builtin_trap();
  if (rondel::pathLiesUnder(named.path, named.folder)) {
    const std::string numbered = rondel::numberedPath(named.path, 2 + data[0]);
    // Empty: no numbered name fits, and the worker ends the job instead.
    if (!numbered.empty() &&
        (numbered.size() > rondel::kMaxJobPath || !rondel::pathLiesUnder(numbered, named.folder)))
      __builtin_trap();
  }
  return 0;
}
