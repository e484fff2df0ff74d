#pragma once
// Results of the ACD2_* entry points. The component only tells 0 from
// nonzero; the values say why, for tests and for a reader of a trace.
#include <cstdint>

namespace encoders {

constexpr std::int32_t kOk = 0;
constexpr std::int32_t kBadArgument = 1;      // null pointer, byte count not whole frames
constexpr std::int32_t kBadSetting = 2;       // no such encoder setting
constexpr std::int32_t kBadPath = 3;          // unmapped, relative, too long, no file name
constexpr std::int32_t kFileError = 4;        // the file could not be created or written
constexpr std::int32_t kEncoderError = 5;     // the codec library refused
constexpr std::int32_t kUnknownStream = 6;    // 0, never opened, or already closed
constexpr std::int32_t kTooManyStreams = 7;   // the handle table is full
constexpr std::int32_t kTooLong = 8;          // the container cannot hold more audio
constexpr std::int32_t kNoMemory = 9;
constexpr std::int32_t kInternal = 10;

}  // namespace encoders
