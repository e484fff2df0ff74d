#pragma once
// The encoder table: five slots for encoder libraries loaded from the
// library folder at static construction. The slots are constant-initialised,
// so they exist before any other static object of the module is built.
#include <cstddef>

namespace rondel {

constexpr std::size_t kEncoderSlots = 5;

// Loads the encoder libraries into their slots; a library that is missing or
// lacks a required name leaves its slot empty. Returns how many loaded.
int LoadEncoderLibraries();

}  // namespace rondel
