// The entry points every encoder library exports the same way: feeding and
// closing a stream depend only on the stream table, not on the codec. Built
// into each library beside its own exports.cpp.
#include <cstring>
#include <type_traits>

#include "encoders/common/entry_points.h"
#include "encoders/common/last_error.h"

using namespace encoders;

ACD2_EXPORT std::int32_t ACD2_Compress(const void* data, std::uint32_t bytes, AcdStream stream) {
  return compressStream(data, bytes, stream);
}

ACD2_EXPORT std::int32_t ACD2_DeinitCompress(std::int32_t finished, char* name,
                                             AcdStream stream) {
  return closeStream(finished, name, stream);
}

ACD2_EXPORT std::uint32_t ACD2_LastError(char* text, std::uint32_t bytes) {
  if (text == nullptr || bytes == 0) return 0;
  const char* reason = lastError();
  const std::size_t size = std::strlen(reason);
  const std::size_t length = size < bytes - 1 ? size : bytes - 1;
  std::memcpy(text, reason, length);
  text[length] = '\0';
  return static_cast<std::uint32_t>(length);
}

// The definitions above must keep the contract's types.
static_assert(std::is_same_v<decltype(&ACD2_Compress), ACD2_Compress_t>);
static_assert(std::is_same_v<decltype(&ACD2_DeinitCompress), ACD2_DeinitCompress_t>);
static_assert(std::is_same_v<decltype(&ACD2_LastError), ACD2_LastError_t>);
