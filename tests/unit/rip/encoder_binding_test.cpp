// The encoder binding against the fake libraries in
// build/bin/testencoders/<variant>/ (see fake_encoder.cpp). The table is
// process-wide, so every test starts and ends with it empty.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/winpath.h"
#include "rondel/rip/encoder_calls.h"
#include "rondel/rip/encoder_table.h"
#include "rondel/rip/format_table.h"
#include "support/temp_dir.h"

namespace {

using rondel::kEncoderUnavailable;
using testing_support::binDir;

std::string libraryPath(const std::string& variant, const std::string& file) {
  return binDir() + "/testencoders/" + variant + "/" + file;
}

// The test's own reference to a fake that the binding already loaded (never
// loads one itself, so "unloaded" checks stay honest), reading its log.
class LoadedFake {
 public:
  LoadedFake(const std::string& variant, const std::string& file)
      : handle_(dlopen(libraryPath(variant, file).c_str(), RTLD_NOW | RTLD_NOLOAD)) {
    if (handle_ == nullptr) return;
    log_ = reinterpret_cast<const char* (*)()>(dlsym(handle_, "FakeEnc_Log"));
    clear_ = reinterpret_cast<void (*)()>(dlsym(handle_, "FakeEnc_ClearLog"));
  }
  ~LoadedFake() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  LoadedFake(const LoadedFake&) = delete;
  LoadedFake& operator=(const LoadedFake&) = delete;

  bool loaded() const { return handle_ != nullptr && log_ != nullptr && clear_ != nullptr; }
  std::string log() const { return log_(); }
  void clearLog() const { clear_(); }
  void* symbol(const char* name) const { return dlsym(handle_, name); }
  void* handle() const { return handle_; }

 private:
  void* handle_;
  const char* (*log_)() = nullptr;
  void (*clear_)() = nullptr;
};

bool isLoaded(const std::string& variant, const std::string& file) {
  return LoadedFake(variant, file).handle() != nullptr;
}

std::string pointerText(const void* p) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", p);
  return text;
}

class EncoderBindingTest : public ::testing::Test {
 protected:
  void SetUp() override { rondel::UnloadEncoderLibraries(); }
  void TearDown() override { rondel::UnloadEncoderLibraries(); }

  // Points the binding at a variant's folder, in Windows form as the
  // component keeps it, and loads.
  static void loadVariant(const std::string& variant) {
    const std::string folder = platform::toWindowsPath(binDir() + "/testencoders/" + variant);
    ASSERT_FALSE(folder.empty());
    rondel::LoadEncoderLibraries(folder);
  }

  static void expectEmpty(std::uint32_t index) {
    SCOPED_TRACE(index);
    const rondel::EncoderEntry e = rondel::encoderEntry(index);
    EXPECT_FALSE(e.filled());
    EXPECT_EQ(e.InitCompress, nullptr);
    EXPECT_EQ(e.InitCompress2, nullptr);
    EXPECT_EQ(e.InitCompress3, nullptr);
    EXPECT_EQ(e.Compress, nullptr);
    EXPECT_EQ(e.DeinitCompress, nullptr);
  }

  // Every operation on `index` answers without calling anything (a call
  // through a null pointer would crash the test).
  static void expectNoCalls(std::uint32_t index) {
    SCOPED_TRACE(index);
    AcdStream stream = 77;
    const std::uint8_t tag[3] = {1, 2, 3};
    char name[kAcdNameBytes];
    std::memset(name, 'x', sizeof name);
    EXPECT_FALSE(rondel::ACDIHasInitCompress2(index));
    EXPECT_FALSE(rondel::ACDIHasInitCompress3(index));
    EXPECT_EQ(rondel::ACDIInitCompress(index, "C:\\a", 0, 8, 0, &stream), kEncoderUnavailable);
    EXPECT_EQ(rondel::ACDIInitCompress(index, "C:\\a", 0, 8, 0, tag, 3, &stream),
              kEncoderUnavailable);
    EXPECT_EQ(rondel::ACDIInitCompress(index, "C:\\a", 0, 8, 0, "t", 1, "a", "b", "y", "g", "c", "",
                                       "", "", &stream),
              kEncoderUnavailable);
    EXPECT_EQ(rondel::ACDICompress(index, tag, 3, stream), kEncoderUnavailable);
    rondel::ACDIDeinitCompress(index, 1, name, stream);
    EXPECT_STREQ(name, "") << "an unanswered close must not leave a stale name";
    EXPECT_EQ(stream, 77u);
    EXPECT_EQ(rondel::ACDILastError(index), "");
  }
};

TEST_F(EncoderBindingTest, Load_AllLibrariesPresent_FillsSlotsInNameOrderAndUnloadsOnRequest) {
  ASSERT_NO_FATAL_FAILURE(loadVariant("full"));
  const char* files[] = {"lame.dll", "ogg.dll", "pcm.dll"};
  for (std::uint32_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(files[i]);
    LoadedFake fake("full", files[i]);
    ASSERT_TRUE(fake.loaded());
    const rondel::EncoderEntry e = rondel::encoderEntry(i);
    EXPECT_EQ(e.module, fake.handle());
    EXPECT_EQ(reinterpret_cast<void*>(e.InitCompress), fake.symbol("ACD2_InitCompress"));
    EXPECT_EQ(reinterpret_cast<void*>(e.InitCompress2), fake.symbol("ACD2_InitCompress2"));
    EXPECT_EQ(reinterpret_cast<void*>(e.InitCompress3), fake.symbol("ACD2_InitCompress3"));
    EXPECT_EQ(reinterpret_cast<void*>(e.Compress), fake.symbol("ACD2_Compress"));
    EXPECT_EQ(reinterpret_cast<void*>(e.DeinitCompress), fake.symbol("ACD2_DeinitCompress"));
    EXPECT_EQ(fake.log(), "Initialize\n");
    EXPECT_TRUE(rondel::ACDIHasInitCompress2(i));
    EXPECT_TRUE(rondel::ACDIHasInitCompress3(i));
  }
  for (std::uint32_t index : {3u, 4u, 5u, rondel::kNoEncoder, 0xFFFFFFFFu}) {
    expectEmpty(index);
    expectNoCalls(index);
  }

  rondel::UnloadEncoderLibraries();
  for (std::uint32_t i = 0; i < 3; ++i) expectEmpty(i);
  for (const char* file : files) EXPECT_FALSE(isLoaded("full", file)) << file;
}

TEST_F(EncoderBindingTest, Operations_PassEveryArgumentUnchangedToTheIndexedLibrary) {
  ASSERT_NO_FATAL_FAILURE(loadVariant("full"));
  LoadedFake lame("full", "lame.dll"), ogg("full", "ogg.dll");
  ASSERT_TRUE(lame.loaded() && ogg.loaded());
  lame.clearLog();
  ogg.clearLog();

  AcdStream s1 = 0, s2 = 0, s3 = 0;
  const std::uint8_t tag[5] = {'I', 'D', '3', 4, 0};
  EXPECT_EQ(rondel::ACDIInitCompress(1, "C:\\Music\\01 A", 0, 6, 0, &s1), 0);
  EXPECT_EQ(rondel::ACDIInitCompress(1, "C:\\Music\\02 B", 7, 6, 9, tag, 5, &s2), 0);
  EXPECT_EQ(rondel::ACDIInitCompress(1, "C:\\Music\\03 C", 0, 6, 0, "Title", 3, "Artist", "Album",
                                     "1999", "Rock", "Comment", "e1", "e2", "e3", &s3),
            0);
  EXPECT_NE(s1, 0u);
  EXPECT_NE(s2, s1);
  std::vector<std::uint8_t> audio(kAcdMaxCompressBytes, 0x11);
  EXPECT_EQ(rondel::ACDICompress(1, audio.data(), kAcdMaxCompressBytes, s3), 0);
  // Past the contract's bound, or no data: refused without a call.
  EXPECT_EQ(rondel::ACDICompress(1, audio.data(), kAcdMaxCompressBytes + 1, s3),
            kEncoderUnavailable);
  EXPECT_EQ(rondel::ACDICompress(1, nullptr, 2352, s3), kEncoderUnavailable);
  char name[kAcdNameBytes];
  std::memset(name, 'x', sizeof name);
  rondel::ACDIDeinitCompress(1, 0, name, s1);
  EXPECT_STREQ(name, "") << "an abandoned stream names no file";
  rondel::ACDIDeinitCompress(1, 1, name, s3);
  EXPECT_STREQ(name, "C:\\Music\\03 C.ogg");
  rondel::ACDIDeinitCompress(1, 1, nullptr, s2);  // no name wanted: the library still gets a buffer

  // clang-format off
  const std::string expected =
      "InitCompress C:\\Music\\01 A 0 6 0\n"
      "InitCompress2 C:\\Music\\02 B 7 6 9 " + pointerText(tag) + " 5\n"
      "InitCompress3 C:\\Music\\03 C 0 6 0 [Title] 3 [Artist] [Album] [1999] [Rock] [Comment] "
      "[e1] [e2] [e3]\n"
      "Compress " + pointerText(audio.data()) + " 28224 " + std::to_string(s3) + "\n"
      "DeinitCompress 0 " + std::to_string(s1) + "\n"
      "DeinitCompress 1 " + std::to_string(s3) + "\n"
      "DeinitCompress 1 " + std::to_string(s2) + "\n";
  // clang-format on
  EXPECT_EQ(ogg.log(), expected);
  EXPECT_EQ(lame.log(), "") << "index 1 reached another library";
}

TEST_F(EncoderBindingTest, Load_FaultyLibraries_LeaveTheirSlotsEmptyAndUnloaded) {
  // faults: lame.dll lacks ACD2_Compress, ogg.dll's Initialize answers 0x100
  // (lowest byte 0), pcm.dll is sound but has neither InitCompress2 nor 3.
  ASSERT_NO_FATAL_FAILURE(loadVariant("faults"));
  for (std::uint32_t i : {0u, 1u}) {
    expectEmpty(i);
    expectNoCalls(i);
    EXPECT_FALSE(isLoaded("faults", i == 0 ? "lame.dll" : "ogg.dll"));
  }

  // The library without the optional variants still works through
  // ACD2_InitCompress, and the missing variants are never called.
  {
    LoadedFake pcm("faults", "pcm.dll");
    ASSERT_TRUE(pcm.loaded());
    const rondel::EncoderEntry e = rondel::encoderEntry(2);
    EXPECT_TRUE(e.filled());
    EXPECT_EQ(e.InitCompress2, nullptr);
    EXPECT_EQ(e.InitCompress3, nullptr);
    EXPECT_FALSE(rondel::ACDIHasInitCompress2(2));
    EXPECT_FALSE(rondel::ACDIHasInitCompress3(2));
    pcm.clearLog();
    AcdStream stream = 0;
    const std::uint8_t tag[1] = {0};
    EXPECT_EQ(rondel::ACDIInitCompress(2, "C:\\x", 0, 1, 0, tag, 1, &stream), kEncoderUnavailable);
    EXPECT_EQ(rondel::ACDIInitCompress(2, "C:\\x", 0, 1, 0, "t", 1, "a", "b", "y", "g", "c", "", "",
                                       "", &stream),
              kEncoderUnavailable);
    EXPECT_EQ(rondel::ACDIInitCompress(2, "C:\\x", 0, 1, 0, &stream), 0);
    EXPECT_EQ(rondel::ACDICompress(2, tag, 1, stream), 0);
    char name[kAcdNameBytes];
    rondel::ACDIDeinitCompress(2, 1, name, stream);
    EXPECT_STREQ(name, "C:\\x.wav");
    EXPECT_EQ(pcm.log(), "InitCompress C:\\x 0 1 0\nCompress " + pointerText(tag) + " 1 " +
                             std::to_string(stream) + "\nDeinitCompress 1 " +
                             std::to_string(stream) + "\n");
  }

  // refused: lame.dll's Initialize answers 0, ogg.dll has no Initialize;
  // pcm.dll is missing altogether.
  ASSERT_NO_FATAL_FAILURE(loadVariant("refused"));
  for (std::uint32_t i = 0; i < rondel::kEncoderSlots; ++i) expectEmpty(i);
  for (const char* file : {"lame.dll", "ogg.dll"}) EXPECT_FALSE(isLoaded("refused", file)) << file;
  EXPECT_FALSE(isLoaded("faults", "pcm.dll")) << "a reload must drop the earlier libraries";

  // No folder of that name at all, and no library folder at all.
  ASSERT_NO_FATAL_FAILURE(loadVariant("missing"));
  for (std::uint32_t i = 0; i < rondel::kEncoderSlots; ++i) expectEmpty(i);
  rondel::LoadEncoderLibraries("");
  for (std::uint32_t i = 0; i < rondel::kEncoderSlots; ++i) expectEmpty(i);
}

TEST_F(EncoderBindingTest, Load_OnlyPcmPresent_NoFormatRowReachesALibrary) {
  ASSERT_NO_FATAL_FAILURE(loadVariant("only_pcm"));
  EXPECT_TRUE(rondel::encoderEntry(2).filled());
  for (const rondel::FormatRow& row : rondel::kFormatTable) {
    SCOPED_TRACE(row.label);
    std::uint32_t index = 99, setting = 99;
    ASSERT_TRUE(rondel::FindFormat(row.label, index, setting));
    EXPECT_NE(index, 2u);
    expectEmpty(index);
    expectNoCalls(index);
  }
}

}  // namespace
