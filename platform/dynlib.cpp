#include "platform/dynlib.h"

#include <dlfcn.h>

#include <utility>

#include "platform/small_file.h"

namespace platform {
namespace {

std::string takeDlError(const std::string& fallback) {
  const char* text = dlerror();
  return text != nullptr ? std::string(text) : fallback;
}

}  // namespace

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      path_(std::move(other.path_)),
      lastError_(std::move(other.lastError_)) {
  other.path_.clear();
  other.lastError_.clear();
}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, nullptr);
    path_ = std::move(other.path_);
    lastError_ = std::move(other.lastError_);
    other.path_.clear();
    other.lastError_.clear();
  }
  return *this;
}

bool DynamicLibrary::open(const std::string& nativePath) {
  close();
  // dlopen("") hands back the main program, and a NUL would cut the name
  // short and load some other file: neither is what the caller asked for.
  if (nativePath.empty() || nativePath.find('\0') != std::string::npos) {
    lastError_ = "invalid library path";
    return false;
  }
  // A path names one file, which must be a regular one: dlopen's own open
  // would block on a FIFO put in a library's place. (A bare name is looked
  // up along the loader's search path instead.)
  if (nativePath.find('/') != std::string::npos) {
    const std::string problem = regularFileProblem(nativePath);
    if (!problem.empty()) {
      lastError_ = "cannot load " + nativePath + ": it " + problem;
      return false;
    }
  }
  dlerror();
  void* handle = dlopen(nativePath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    lastError_ = takeDlError("cannot load " + nativePath);
    return false;
  }
  handle_ = handle;
  path_ = nativePath;
  lastError_.clear();
  return true;
}

void DynamicLibrary::close() {
  if (handle_ != nullptr) {
    dlclose(handle_);
    handle_ = nullptr;
  }
  path_.clear();
}

void* DynamicLibrary::symbol(const char* name) {
  if (name == nullptr) {
    lastError_ = "null symbol name";
    return nullptr;
  }
  if (handle_ == nullptr) {
    lastError_ = std::string("no library loaded to look up ") + name;
    return nullptr;
  }
  dlerror();
  void* address = dlsym(handle_, name);
  if (address == nullptr) {
    const std::string detail = takeDlError("");
    lastError_ = std::string("missing symbol ") + name + " in " + path_;
    if (!detail.empty()) lastError_ += " (" + detail + ")";
  }
  return address;
}

}  // namespace platform
