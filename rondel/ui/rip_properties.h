#pragma once
// Window properties through which the main window tells whoever inspects it
// (the command line, tests) how each track's rip went: the latest status
// text and the written file's Windows-form path. The keys are part of the
// window's outside contract: "rip.status.<track>" and "rip.file.<track>",
// the track number in decimal; and "drive.polled", the drive table index
// (decimal) of the drive the poll last asked.
#include <cstdint>
#include <string>

namespace rondel {

constexpr const char* kPolledDriveProperty = "drive.polled";
inline std::string ripStatusProperty(std::uint32_t track) { return "rip.status." + std::to_string(track); }
inline std::string ripFileProperty(std::uint32_t track) { return "rip.file." + std::to_string(track); }

}  // namespace rondel
