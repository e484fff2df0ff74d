#pragma once
// One open stream of an encoder library: a codec writing into its own
// OutputFile. Streams share nothing with each other; the stream table calls
// each one under that stream's own mutex, so implementations need no locking.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "encoders/common/output_file.h"
#include "encoders/common/result.h"

namespace encoders {

class EncoderStream {
 public:
  explicit EncoderStream(std::unique_ptr<OutputFile> file) : file_(std::move(file)) {}
  virtual ~EncoderStream() = default;
  EncoderStream(const EncoderStream&) = delete;
  EncoderStream& operator=(const EncoderStream&) = delete;

  // Encodes whole frames of CD-DA (bytes is a multiple of 4, at most
  // kMaxCompressBytes, data not null unless bytes is 0). kOk, or why not.
  virtual std::int32_t compress(const std::uint8_t* data, std::size_t bytes) = 0;
  // Drains the codec and completes the file's contents (trailing data,
  // headers patched with final sizes). The file is committed afterwards by
  // the caller; false leaves it to be abandoned.
  virtual bool finish() = 0;

  OutputFile& file() { return *file_; }

 protected:
  std::unique_ptr<OutputFile> file_;
};

}  // namespace encoders
