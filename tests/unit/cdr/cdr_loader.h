#pragma once
// cdr.dll as the component sees it: loaded with dlopen, driven through its 19
// exported functions, configured by files written to a temporary folder.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sdk/cdr_api.h"
#include "support/temp_dir.h"
#include "unit/cdr/image_files.h"

namespace cdr_test {

namespace fs = std::filesystem;

#define CDR_FUNCTIONS(X)                                                                  \
  X(Initialize2) X(GetDeviceCount) X(GetDevices) X(TestUnitReady) X(ReadTOC) X(Eject) X(Load) \
  X(Lock) X(Unlock) X(GetMaxBuffer) X(AllocateBuffer) X(FreeBuffer) X(ReadCDDA) X(SetSpeed)   \
  X(GetSpeed) X(PrepareCDDA) X(ReadCDText) X(LockVolume) X(UnlockVolume)

struct CdrApi {
#define CDR_DECLARE(name) CD_##name##_t name;
  CDR_FUNCTIONS(CDR_DECLARE)
#undef CDR_DECLARE
};

inline std::string libraryPath() { return testing_support::binDir() + "/cdr.dll"; }

// Loaded once per process and never unloaded, like the component does.
// Null, with why, when the library or one of its names is missing.
inline const CdrApi* loadApi(std::string& why) {
  static std::string error;
  static const CdrApi* api = []() -> const CdrApi* {
    void* lib = dlopen(libraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
      error = dlerror();
      return nullptr;
    }
    static CdrApi a{};
    bool ok = true;
#define CDR_BIND(name)                                                         \
  a.name = reinterpret_cast<CD_##name##_t>(dlsym(lib, "CD_" #name));          \
  if (!a.name) {                                                               \
    error += " missing CD_" #name;                                             \
    ok = false;                                                                \
  }
    CDR_FUNCTIONS(CDR_BIND)
#undef CDR_BIND
    return ok ? &a : nullptr;
  }();
  why = error;
  return api;
}

// Packed members are copied out before gtest binds references to them.
template <class T>
T field(T value) {
  return value;
}

class CdrLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    cd = loadApi(why);
    ASSERT_NE(cd, nullptr) << libraryPath() << ":" << why;
  }
  void TearDown() override { unsetenv("CDR_CONFIG"); }

  void writeFile(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }

  // A configuration of the drive entries given.
  static std::string config(const std::vector<std::string>& entries) {
    std::string list;
    for (const auto& e : entries) list += (list.empty() ? "" : ",\n") + e;
    return "{\"drives\": [\n" + list + "\n]}";
  }

  // Writes the configuration, initialises, and answers the device count;
  // the library's stderr lands in warnings.
  std::uint32_t init(const std::string& json, std::uint32_t mode = kCdAccessDevices) {
    writeFile("cdr.json", json);
    setenv("CDR_CONFIG", (dir / "cdr.json").c_str(), 1);
    return initAsIs(mode);
  }
  std::uint32_t initAsIs(std::uint32_t mode = kCdAccessDevices) {
    ::testing::internal::CaptureStderr();
    const std::int32_t rc = cd->Initialize2(mode, 0);
    warnings = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(rc, 0);
    std::uint32_t count = 12345;
    EXPECT_EQ(cd->GetDeviceCount(&count), 0);
    return count;
  }
  std::string name(std::uint32_t device) {
    CdDeviceRecord** records = nullptr;
    EXPECT_EQ(cd->GetDevices(&records), 0);
    return records[device]->name;
  }
  std::int32_t read(std::uint32_t device, std::uint32_t lba, std::uint32_t count,
                    std::vector<std::uint8_t>& out) {
    out.assign(std::size_t{count} * kCdSectorBytes, 0xEE);
    return cd->ReadCDDA(device, lba, count, out.data(), 1);
  }
  std::size_t linesContaining(const std::string& text) const {
    std::size_t n = 0;
    for (std::size_t at = warnings.find(text); at != std::string::npos;
         at = warnings.find(text, at + 1))
      ++n;
    return n;
  }

  const CdrApi* cd = nullptr;
  testing_support::TempDir tmp;
  const fs::path dir = tmp.path();
  std::string warnings;
};

}  // namespace cdr_test
