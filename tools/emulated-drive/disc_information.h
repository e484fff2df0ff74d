#pragma once
// READ DISC INFORMATION and READ TOC format 2 (the full table of contents,
// as the lead-in's Q sub-channel holds it) of a pressed, finished disc of
// one session.
#include <cstddef>
#include <cstdint>

#include "disc_image.h"

namespace emulated_drive {

// The replies, at most `room` bytes into data; the bytes written.
std::size_t discInformation(const DiscImage& disc, std::uint8_t* data, std::size_t room);
std::size_t fullToc(const DiscImage& disc, std::uint8_t* data, std::size_t room);

}  // namespace emulated_drive
