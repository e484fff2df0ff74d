// mkdisc: makes a CUE/BIN image of a test CD from a JSON description, and
// optionally its freedb entry. See README.md for the description format.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <optional>

#include <nlohmann/json.hpp>

#include "platform/codepage.h"
#include "platform/small_file.h"
#include "tools/mkdisc/accuraterip_file.h"
#include "tools/mkdisc/alignment_check.h"
#include "tools/mkdisc/atomic_file.h"
#include "tools/mkdisc/description.h"
#include "tools/mkdisc/disc_codes.h"
#include "tools/mkdisc/freedb_entry.h"
#include "tools/mkdisc/image_writer.h"
#include "tools/mkdisc/layout.h"

namespace fs = std::filesystem;

namespace {

constexpr int kExitFailed = 1;  // a file could not be read or written
constexpr int kExitBadInput = 2;  // bad command line or description
constexpr std::size_t kMaxNameBytes = 64;

struct Options {
  std::string description;
  std::string outDir;
  std::string freedbDir;
  std::string accurateRipDir;
  unsigned accurateRipConfidence = 5;
  std::optional<std::uint64_t> seed;
  std::optional<std::string> name;
  bool json = false;
};

int error(int code, const std::string& line) {
  std::cerr << "mkdisc: " << line << "\n";
  return code;
}

// Reads at most the size a description may have; a FIFO or device is refused.
// The description, read without blocking and only from a regular file;
// nothing with why (tooLarge set for a file over the cap) otherwise.
std::optional<std::string> readDescription(const std::string& path, std::string& why,
                                           bool& tooLarge) {
  platform::SmallFile file = platform::readSmallFile(path, mkdisc::kMaxDescriptionBytes);
  if (file.ok) return std::move(file.text);
  tooLarge = file.problem.rfind("is larger than", 0) == 0;
  why = tooLarge ? "the description is larger than 1 MiB" : file.problem;
  return std::nullopt;
}

bool nameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '-';
}

bool validName(const std::string& name) {
  if (name.empty() || name.size() > kMaxNameBytes || name[0] == '.') return false;
  for (char c : name)
    if (!nameCharacter(c)) return false;
  return true;
}

// The description's file name without extension, made safe for a CUE sheet.
std::string defaultName(const std::string& descriptionPath) {
  std::string name = fs::path(descriptionPath).stem().string().substr(0, kMaxNameBytes);
  for (char& c : name)
    if (!nameCharacter(c)) c = '_';
  return validName(name) ? name : "disc";
}

bool ensureFolder(const fs::path& dir, std::string& why) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec || !fs::is_directory(dir, ec)) {
    why = "cannot create folder " + dir.string() + (ec ? ": " + ec.message() : "");
    return false;
  }
  return true;
}

bool writeText(const fs::path& path, const std::string& text, std::string& why) {
  mkdisc::AtomicFile file(path.string());
  file.write(text);
  if (file.commit()) return true;
  why = file.error();
  return false;
}

std::string length(std::uint32_t sectors) {
  char text[32];
  std::snprintf(text, sizeof text, "%u:%02u.%02u", sectors / 4500, (sectors / 75) % 60, sectors % 75);
  return text;
}

// Writes ARDIR/x/y/z/dBAR-....bin, the database file of the disc's audio
// at read offset 0; its path, or nothing with why.
std::optional<fs::path> writeAccurateRip(const mkdisc::Disc& disc, const mkdisc::DiscLayout& layout,
                                         const Options& options, std::string& why) {
  const std::string relative = mkdisc::accurateRipIds(layout).path();
  if (relative.empty()) {
    why = "--accuraterip: the disc has no audio track";
    return std::nullopt;
  }
  const fs::path file = fs::path(options.accurateRipDir) / relative;
  if (!ensureFolder(file.parent_path(), why)) return std::nullopt;
  const auto confidence = static_cast<std::uint8_t>(options.accurateRipConfidence);
  if (!writeText(file, mkdisc::makeAccurateRipFile(disc, layout, confidence), why)) return std::nullopt;
  return file;
}

void printHuman(const mkdisc::Disc& disc, const mkdisc::DiscLayout& layout, const std::string& id,
                const fs::path& cue, const fs::path& bin, const std::optional<fs::path>& entry,
                const std::optional<fs::path>& accurateRip) {
  std::cout << "wrote " << bin.string() << " (" << layout.leadout << " sectors)\n";
  std::cout << "wrote " << cue.string() << "\n";
  if (entry) std::cout << "wrote " << entry->string() << "\n";
  if (accurateRip) std::cout << "wrote " << accurateRip->string() << "\n";
  std::cout << "disc id " << id << ", category " << disc.category << ", " << layout.tracks.size()
            << " tracks, lead-out " << layout.leadout << " (" << length(layout.leadout) << ")\n";
  std::cout << "  #  type     start   length  offset  title\n";
  for (const mkdisc::TrackLayout& t : layout.tracks) {
    char line[96];
    std::snprintf(line, sizeof line, "%3d  %-5s %8u %8u %7u  ", t.number, t.data ? "data" : "audio",
                  t.start, t.tocSectors, t.start + mkdisc::kLeadInSectors);
    std::cout << line << platform::cp1252ToUtf8(disc.tracks[static_cast<std::size_t>(t.number - 1)].title)
              << "\n";
  }
}

void printJson(const mkdisc::Disc& disc, const mkdisc::DiscLayout& layout, const std::string& id,
               const fs::path& cue, const fs::path& bin, const std::optional<fs::path>& entry,
               const std::optional<fs::path>& accurateRip) {
  nlohmann::json out;
  out["accuraterip"] = accurateRip ? nlohmann::json(accurateRip->string()) : nlohmann::json(nullptr);
  out["cue"] = cue.string();
  out["bin"] = bin.string();
  out["entry"] = entry ? nlohmann::json(entry->string()) : nlohmann::json(nullptr);
  out["discid"] = id;
  out["category"] = disc.category;
  out["seed"] = disc.seed;
  out["leadout"] = layout.leadout;
  out["tracks"] = nlohmann::json::array();
  for (const mkdisc::TrackLayout& t : layout.tracks) {
    out["tracks"].push_back({{"number", t.number},
                             {"type", t.data ? "data" : "audio"},
                             {"index0", t.index0},
                             {"start", t.start},
                             {"sectors", t.tocSectors},
                             {"content_sectors", t.contentSectors},
                             {"session", t.session},
                             {"offset", t.start + mkdisc::kLeadInSectors},
                             {"title", platform::cp1252ToUtf8(
                                           disc.tracks[static_cast<std::size_t>(t.number - 1)].title)}});
  }
  std::cout << out.dump(2) << "\n";
}

int run(const Options& options) {
  std::string why;
  bool tooLarge = false;
  const auto text = readDescription(options.description, why, tooLarge);
  if (!text) return error(tooLarge ? kExitBadInput : kExitFailed, options.description + ": " + why);
  mkdisc::DescriptionResult parsed = mkdisc::parseDescription(*text);
  if (!parsed.disc) return error(kExitBadInput, options.description + ": " + parsed.error);
  mkdisc::Disc& disc = *parsed.disc;
  if (options.seed) disc.seed = *options.seed;

  const std::string name = options.name ? *options.name : defaultName(options.description);
  if (!validName(name))
    return error(kExitBadInput, "--name takes 1 to 64 letters, digits, '.', '_' or '-', not starting with '.'");

  const mkdisc::DiscLayout layout = mkdisc::layOut(disc);
  const std::string id = mkdisc::freedbDiscId(layout, why);
  if (id.empty()) return error(kExitBadInput, options.description + ": " + why);

  for (std::size_t i = 0; i < disc.tracks.size(); ++i) {
    if (!disc.tracks[i].jitterFree) continue;
    if (auto sector = mkdisc::findAmbiguousSector(disc, layout, i))
      return error(kExitBadInput, options.description + ": track " + std::to_string(i + 1) +
                                      ": not jitter-free: sector " + std::to_string(*sector) +
                                      " recurs within the overlap search window");
  }

  const fs::path outDir(options.outDir);
  if (!ensureFolder(outDir, why)) return error(kExitFailed, why);
  const fs::path bin = outDir / (name + ".bin");
  const fs::path cue = outDir / (name + ".cue");
  // The BIN goes first, so a CUE sheet never names a missing file.
  if (!mkdisc::writeBin(disc, layout, bin.string(), why)) return error(kExitFailed, why);
  const std::string sheet = mkdisc::withCodes(mkdisc::makeCue(layout, name + ".bin", id), disc);
  if (!writeText(cue, sheet, why)) return error(kExitFailed, why);

  std::optional<fs::path> entry;
  if (!options.freedbDir.empty()) {
    const fs::path folder = fs::path(options.freedbDir) / disc.category;
    if (!ensureFolder(folder, why)) return error(kExitFailed, why);
    entry = folder / id;
    if (!writeText(*entry, mkdisc::makeEntry(disc, layout, id), why)) return error(kExitFailed, why);
  }

  std::optional<fs::path> accurateRip;
  if (!options.accurateRipDir.empty()) {
    accurateRip = writeAccurateRip(disc, layout, options, why);
    if (!accurateRip) return error(kExitFailed, why);
  }

  if (options.json)
    printJson(disc, layout, id, cue, bin, entry, accurateRip);
  else
    printHuman(disc, layout, id, cue, bin, entry, accurateRip);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  CLI::App app{"mkdisc: makes a CUE/BIN image of a test CD from a JSON description,\n"
               "and its freedb entry (category/discid) when --freedb is given."};
  app.add_option("DESCRIPTION", options.description, "Description file (JSON, see README.md)")
      ->required();
  app.add_option("--out", options.outDir, "Folder for BASE.cue and BASE.bin")->required();
  app.add_option("--freedb", options.freedbDir, "freedb-format folder for the entry");
  app.add_option("--accuraterip", options.accurateRipDir,
                 "Folder for the disc's AccurateRip database file (x/y/z/dBAR-....bin)");
  app.add_option("--accuraterip-confidence", options.accurateRipConfidence,
                 "Confidence of each track in that file (1-255, default 5)")
      ->check(CLI::Range(1u, 255u));
  app.add_option("--seed", options.seed, "Seed for noise and data (overrides the description's)");
  app.add_option("--name", options.name, "BASE of the file names (default: the description's name)");
  app.add_flag("--json", options.json, "Print what was written as JSON");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : kExitBadInput;
  }
  try {
    return run(options);
  } catch (const std::bad_alloc&) {
    return error(kExitFailed, "out of memory");
  } catch (const std::exception& e) {
    return error(kExitFailed, e.what());
  }
}
