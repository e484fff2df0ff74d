// The entry points every encoder library exports the same way: feeding and
// closing a stream depend only on the stream table, not on the codec. Built
// into each library beside its own exports.cpp.
#include <type_traits>

#include "encoders/common/entry_points.h"

using namespace encoders;

ACD2_EXPORT std::int32_t ACD2_Compress(const void* data, std::uint32_t bytes, AcdStream stream) {
  return compressStream(data, bytes, stream);
}

ACD2_EXPORT std::int32_t ACD2_DeinitCompress(std::int32_t finished, char* name,
                                             AcdStream stream) {
  return closeStream(finished, name, stream);
}

// The definitions above must keep the contract's types.
static_assert(std::is_same_v<decltype(&ACD2_Compress), ACD2_Compress_t>);
static_assert(std::is_same_v<decltype(&ACD2_DeinitCompress), ACD2_DeinitCompress_t>);
