#include "tools/cddb-server/request_log.h"

namespace cddb_server {

RequestLog::RequestLog(const std::string& path)
    : file_(path.empty() ? stdout : std::fopen(path.c_str(), "ae")), owned_(!path.empty()) {}

RequestLog::~RequestLog() {
  if (owned_ && file_ != nullptr) std::fclose(file_);
}

void RequestLog::write(const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_ == nullptr) return;
  std::fputs(line.c_str(), file_);
  std::fputc('\n', file_);
  std::fflush(file_);
}

}  // namespace cddb_server
