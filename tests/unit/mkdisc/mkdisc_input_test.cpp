// Descriptions and command lines that mkdisc must refuse: a clear one-line
// message, a nonzero exit, no crash and no image left behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "mkdisc_support.h"

namespace {

using mkdisc_test::mkdisc;
using testing_support::TempDir;

std::string tracks(int count) {
  std::string list;
  for (int i = 0; i < count; ++i) list += std::string(i ? "," : "") + R"({"kind":"silence","sectors":1})";
  return R"({"tracks":[)" + list + "]}";
}

TEST(Mkdisc, BadDescriptionsAreRefusedWithOneLine) {
  const std::string tone = R"("kind":"tone","frequency":440,"seconds":1)";
  const struct {
    std::string json;
    const char* says;
  } cases[] = {
      {"", "not valid JSON"},
      {"{\"tracks\": [", "not valid JSON"},
      {"[1,2]", "must be a JSON object"},
      {"{\"tracks\": [{\"title\": \"\xff\xfe\", " + tone + "}]}", "not valid JSON"},  // not UTF-8
      {"{}", "\"tracks\" must be a list of 1 to 99"},
      {tracks(100), "\"tracks\" must be a list of 1 to 99"},
      {R"({"tracks":[{"kind":"tone","frequency":440,"seconds":1}], "colour": 1})", "unknown key \"colour\""},
      {R"({"tracks":[{"kind":"noise","frequency":440,"seconds":1}]})", "unknown key \"frequency\""},
      {R"({"tracks":[{"kind":"hum","seconds":1}]})", "unknown kind \"hum\""},
      {R"({"tracks":[{"kind":"silence"}]})", "needs a length"},
      {R"({"tracks":[{"kind":"silence","seconds":1,"sectors":75}]})", "not both"},
      {R"({"tracks":[{"kind":"silence","seconds":0.001}]})", "shorter than one sector"},
      {R"({"tracks":[{"kind":"silence","seconds":-1}]})", "\"seconds\" must lie"},
      {R"({"tracks":[{"kind":"silence","sectors":1e300}]})", "\"sectors\" must be"},
      {R"({"tracks":[{"kind":"silence","sectors":4294967297}]})", "\"sectors\" must be"},
      {R"({"tracks":[{"kind":"silence","seconds":3000},{"kind":"silence","seconds":3000}]})", "longer than 100 minutes"},
      {R"({"tracks":[{"kind":"silence","sectors":449800},{"kind":"silence","sectors":51}]})", "longer than 100 minutes"},
      {R"({"tracks":[{"title":"a\u0001b",)" + tone + "}]}", "control character"},
      {R"({"tracks":[{"title":"a\u0085b",)" + tone + "}]}", "control character"},
      {R"({"artist":"tab\there","tracks":[{)" + tone + "}]}", "control character"},
      {R"({"album":")" + std::string(257, 'x') + R"(","tracks":[{)" + tone + "}]}", "longer than 256"},
      {R"({"category":"pop","tracks":[{)" + tone + "}]}", "\"category\" must be one of"},
      {R"({"tracks":[{"kind":"tone","frequency":30000,"seconds":1}]})", "\"frequency\" must lie"},
      {R"({"tracks":[{"kind":"tone","frequencies":[],"seconds":1}]})", "\"frequencies\" must be a list"},
      {R"({"tracks":[{"kind":"tone","frequency":440,"amplitude":2,"seconds":1}]})", "\"amplitude\" must lie"},
      {R"({"tracks":[{"kind":"tone","seconds":1}]})", "needs \"frequency\""},
      {R"({"tracks":[{)" + tone + R"(},{"kind":"data","seconds":4},{)" + tone + "}]}", "first or the last"},
      {R"({"tracks":[{"kind":"data","seconds":4},{"kind":"data","seconds":4}]})", "at most one data track"},
      // A second session holds only a data track last, after audio, with
      // the fixed gap; a pre-gap is audio, and not after a data track.
      {R"({"tracks":[{)" + tone + R"(},{"kind":"data","seconds":4,"session":2,"gap_sectors":150}]})", "gap is fixed"},
      {R"({"tracks":[{"kind":"data","seconds":4,"session":2},{)" + tone + "}]}", "second session"},
      {R"({"tracks":[{"kind":"data","seconds":4,"session":2}]})", "second session"},
      {R"({"tracks":[{)" + tone + R"(},{"kind":"data","seconds":4,"session":3}]})", "\"session\" must"},
      {R"({"tracks":[{"kind":"data","seconds":4,"pregap":{"kind":"silence","sectors":1}}]})", "unknown key"},
      {R"({"tracks":[{"kind":"data","seconds":4},{"pregap":{"kind":"silence","sectors":1},)" + tone + "}]}",
       "the data track's gap"},
      {R"({"tracks":[{"pregap":{"kind":"data","sectors":1},)" + tone + "}]}", "pregap: unknown kind"},
      {R"({"tracks":[{"pregap":{"kind":"silence"},)" + tone + "}]}", "pregap: "},
      {R"({"tracks":[{"pregap":{"kind":"silence","sectors":449000},"kind":"silence","sectors":1000}]})",
       "longer than 100 minutes"},
      {R"({"tracks":[{"sections":[]}]})", "\"sections\" must be a list"},
      {R"({"tracks":[{"sections":[{"kind":"data","seconds":1}]}]})", "unknown kind \"data\""},
      {R"({"tracks":[{"jitter_free":true,"sections":[{"kind":"noise","seconds":1},{"kind":"silence","seconds":1}]}]})",
       "cannot hold silence"},
      // A tone with no noise floor repeats within the search window.
      {R"({"tracks":[{"jitter_free":true,"kind":"tone","frequency":1000,"dither":0,"seconds":1}]})",
       "track 1: not jitter-free"},
      {R"({"tracks":[[[[[[[[[[[[1]]]]]]]]]]]]})", "nested deeper"},
      {R"({"seed":-1,"tracks":[{)" + tone + "}]}", "\"seed\" must be"},
      {R"({"year":"19\n99","tracks":[{)" + tone + "}]}", "control character"},
      {R"({"catalog":"012345678901","tracks":[{)" + tone + "}]}", "\"catalog\" must be 13 digits"},
      {R"({"catalog":1234567890123,"tracks":[{)" + tone + "}]}", "\"catalog\" must be 13 digits"},
      {R"({"tracks":[{"isrc":"usrc17607839",)" + tone + "}]}", "\"isrc\" must be 12 characters"},
      {R"({"tracks":[{"isrc":"USRC1760783X",)" + tone + "}]}", "\"isrc\" must be 12 characters"},
      {R"({"tracks":[{"kind":"data","seconds":4,"isrc":"USRC17607839"}]})", "unknown key \"isrc\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json.substr(0, 120));
    TempDir dir;
    auto r = mkdisc({dir.write("disc.json", c.json), "--out", dir.file("out"), "--freedb", dir.file("db")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err.rfind("mkdisc: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out"))) << "nothing is written for a bad description";
  }
}

TEST(Mkdisc, BadFilesAndArgumentsFailCleanly) {
  TempDir dir;
  const std::string good = dir.write("good.json", R"({"tracks":[{"kind":"silence","sectors":10}]})");
  // Missing file, a folder, a file over 1 MiB: exit 1 for what cannot be
  // read, 2 for what is too big to be a description.
  auto missing = mkdisc({dir.file("none.json"), "--out", dir.file("out")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("cannot be opened"), std::string::npos) << missing.err;
  auto folder = mkdisc({dir.path(), "--out", dir.file("out")});
  EXPECT_EQ(folder.exitCode, 1);
  EXPECT_NE(folder.err.find("not a regular file"), std::string::npos) << folder.err;
  ASSERT_EQ(::mkfifo(dir.file("fifo.json").c_str(), 0600), 0);
  auto fifo = mkdisc({dir.file("fifo.json"), "--out", dir.file("out")});  // refused, not waited on
  EXPECT_EQ(fifo.exitCode, 1);
  EXPECT_NE(fifo.err.find("is not a regular file"), std::string::npos) << fifo.err;
  auto huge = mkdisc({dir.write("huge.json", std::string((1 << 20) + 10, ' ')), "--out", dir.file("out")});
  EXPECT_EQ(huge.exitCode, 2);
  EXPECT_NE(huge.err.find("larger than 1 MiB"), std::string::npos) << huge.err;

  for (const char* name : {"../escape", "a/b", ".hidden", "quote\"d", ""}) {
    auto r = mkdisc({good, "--out", dir.file("out"), "--name", name});
    EXPECT_EQ(r.exitCode, 2) << name;
    EXPECT_NE(r.err.find("--name"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("escape.bin")));

  // An output folder that cannot be made (a file is in the way).
  dir.write("blocked", "");
  auto blocked = mkdisc({good, "--out", dir.file("blocked") + "/sub"});
  EXPECT_EQ(blocked.exitCode, 1);
  EXPECT_NE(blocked.err.find("cannot create folder"), std::string::npos) << blocked.err;

  // Without --freedb no entry; the name defaults to the description's.
  auto plain = mkdisc({good, "--out", dir.file("out")});
  EXPECT_EQ(plain.exitCode, 0) << plain.err;
  EXPECT_TRUE(std::filesystem::exists(dir.file("out/good.cue")));
  EXPECT_EQ(std::filesystem::file_size(dir.file("out/good.bin")), 10u * 2352);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("out")),
                          std::filesystem::directory_iterator()),
            2);
}

}  // namespace
