#pragma once
// One line per request (method and target), so tests and users can see
// what a client asked. Lines are flushed at once.
#include <cstdio>
#include <mutex>
#include <string>

namespace cddb_server {

class RequestLog {
 public:
  // Empty path: stdout. Else the file, appended to.
  explicit RequestLog(const std::string& path);
  ~RequestLog();
  RequestLog(const RequestLog&) = delete;
  RequestLog& operator=(const RequestLog&) = delete;

  bool valid() const { return file_ != nullptr; }
  // Any thread.
  void write(const std::string& line);

 private:
  std::mutex mutex_;       // guards writes to file_ from the server's threads
  std::FILE* file_;        // set once in the constructor
  bool owned_ = false;
};

}  // namespace cddb_server
