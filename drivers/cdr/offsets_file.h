#pragma once
// The offsets file: read offset corrections per drive model, a JSON object
// of "VENDOR MODEL": samples. cdr.dll reads it when it makes a real drive;
// qomhost writes it when `qomhost offset find --save` has measured a
// drive. Both go through this one place, so they agree on where the file
// lies and what it holds. No cdr.dll state: safe from any thread.
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace cdr {

// Ten sectors' worth either way; published corrections stay far below.
constexpr std::int32_t kMaxReadOffset = 5880;

// CDR_OFFSETS, or else $XDG_CONFIG_HOME/cdr/offsets.json (~/.config when
// unset); "" when none of these is set.
std::string offsetsFilePath();

// The file's object. nullopt with `problem` set when the file exists but
// cannot be used (not a regular file, over 1 MiB, not a JSON object); an
// empty object when there is no file.
std::optional<nlohmann::json> readOffsetsFile(const std::string& path, std::string& problem);

// Sets "VENDOR MODEL" to `samples` in the file at `path`, keeping its other
// entries: written to a temporary file beside it and renamed over it, so a
// reader never sees half a file. A file that exists but is not usable is
// left alone (its entries would be lost). "" on success, else why not.
std::string saveOffset(const std::string& path, const std::string& vendorModel, std::int32_t samples);

}  // namespace cdr
