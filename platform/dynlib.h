#pragma once
// Dynamic library loading by path (dlopen/dlsym), RAII.
#include <string>

namespace platform {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary() { close(); }
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

  // Loads the library at a native path (RTLD_NOW | RTLD_LOCAL). Closes any
  // library held before. False with lastError() set when it cannot load.
  bool open(const std::string& nativePath);
  // Unloads; safe to call twice.
  void close();
  bool isOpen() const { return handle_ != nullptr; }
  void* handle() const { return handle_; }
  const std::string& path() const { return path_; }

  // The address of an exported name, or null with lastError() naming it.
  void* symbol(const char* name);
  // Typed look-up: stores the function pointer and answers whether it exists.
  template <class Fn>
  bool resolve(Fn& fn, const char* name) {
    fn = reinterpret_cast<Fn>(symbol(name));
    return fn != nullptr;
  }

  const std::string& lastError() const { return lastError_; }

 private:
  void* handle_ = nullptr;
  std::string path_;
  std::string lastError_;
};

}  // namespace platform
