#pragma once
// Read offsets. A drive delivers audio a fixed number of samples early or
// late; its read offset correction (the number rippers publish per drive
// model) says how many samples later than asked it must read for the
// disc's true samples. A drive with a correction is wrapped here, so every
// backend reads as before and the component receives the true samples.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "drivers/cdr/config.h"
#include "drivers/cdr/offsets_file.h"
#include "drivers/cdr/drive.h"

namespace cdr {

// drive itself for offset 0; otherwise a drive whose reads deliver, for
// sample s of the disc, what drive delivers when asked for s + offset.
// Samples outside what the drive can read (before sector 0, at or past the
// lead-out of the last table of contents) are zeros.
std::unique_ptr<Drive> withReadOffset(std::unique_ptr<Drive> drive, std::int32_t offset);

// An entry's "offset" (samples, -kMaxReadOffset..kMaxReadOffset), if it
// has one. Throws ConfigError for anything else.
std::optional<std::int32_t> offsetField(const nlohmann::json& entry);

// The correction for a drive of this "VENDOR MODEL" from the offsets file:
// CDR_OFFSETS, or else $XDG_CONFIG_HOME/cdr/offsets.json (~/.config when
// unset), a JSON object of "VENDOR MODEL": samples. 0 when there is no file
// or no entry; problems with the file are warned about, never fatal.
std::int32_t offsetFromFile(const std::string& vendorModel, const Warn& warn);

}  // namespace cdr
