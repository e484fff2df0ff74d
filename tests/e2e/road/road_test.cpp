// The road of one disc, for real: a disc image made by mkdisc in an image
// drive, the real rondel.qom in a headless host, a lookup against the real
// cddb-server holding two entries for the disc, the second one picked, a
// title and the artist of two rows edited as a user types them, Copy All
// with "Output Filename 3", and the files read back by ffmpeg, eyeD3 and
// vorbiscomment. The disc goes out at the end. Once with MP3, once with Ogg.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <nlohmann/json.hpp>

#include "integration/lookup_fixture.h"
#include "integration/main_window_fixture.h"
#include "support/run_command.h"

using namespace testing_support;
using Strings = std::vector<std::string>;
using Click = qom::ui::ListView::ClickMode;

namespace {

// The main window for the road: an image drive playing the made disc,
// lookups on against a local cddb-server with short time-outs (a fault
// ends in seconds, not in a minute), "Eject" on, and every status text of
// every track recorded.
class RoadWindow : public RipFixture {
 public:
  RoadWindow(const std::string& cuePath, const std::string& server)
      : RipFixture(DrivesJson{R"({"drives": [{"type": "image", "name": "Road Image", "path": ")" + cuePath +
                              R"("}]})"}),
        timeouts_("RONDEL_LOOKUP_TIMEOUTS", "2000,2000,10000") {
    set("Use Freedb", "1");
    set("Freedb Server", server);
    set("EMail", "road@example.org");
    set("Eject", "1");
  }
  ~RoadWindow() { close(); }  // the window (and its threads) before the time-outs go

  bool runUntilStatus(const std::string& text) {
    return runUntil([&] { return status().text() == text; });
  }

 private:
  ScopedEnv timeouts_;
};

// A second entry for the same disc: mkdisc's header (offsets, disc id) with
// other texts. UTF-8, as a newer freedb folder holds it; the server speaks
// Windows-1252 at protocol level 5. Titles and album hold characters that
// file names cannot.
std::string secondEntry(const std::string& madeEntry) {
  const std::size_t at = madeEntry.find("DTITLE=");
  if (at == std::string::npos) return {};
  return madeEntry.substr(0, at) +
         "DTITLE=Second Artist / Road Album: Caf\xC3\xA9\n"
         "DYEAR=1987\nDGENRE=Rock\n"
         "TTITLE0=Intro/Outro\nTTITLE1=Why?\nTTITLE2=Plain Song\nTTITLE3=Data Track\n"
         "EXTD=\nEXTT0=\nEXTT1=\nEXTT2=\nEXTT3=\nPLAYORDER=\n";
}

// Ripped files read back by programs that share no code with the system:
// ffmpeg decodes, eyeD3 reads ID3 tags, vorbiscomment reads Vorbis comments.
// Stereo sample frames ffmpeg decodes from `file` (-1 when it fails). A
// decoder that honours the encoder's delay and padding gives back what
// was ripped.
long decodedFrames(const std::string& file) {
  const auto r = runCommand(
      {findProgram("ffmpeg"), "-v", "error", "-nostdin", "-i", file, "-f", "s16le", "-ac", "2", "-ar", "44100", "-"});
  EXPECT_EQ(r.exitCode, 0) << file << ": " << r.err;
  EXPECT_EQ(r.err, "") << file;  // a clean stream decodes without a complaint
  return r.exitCode == 0 ? static_cast<long>(r.out.size() / 4) : -1;
}

// The ID3v2 tag as eyeD3's JSON plugin reports it (eyeD3 prefers v2).
nlohmann::json id3v2Tag(const std::string& file) {
  const auto r = runCommand({findProgram("eyeD3"), "--no-color", "--plugin=json", "--compact", file});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  auto doc = nlohmann::json::parse(r.out, nullptr, false);
  return doc.is_discarded() ? nlohmann::json::object() : doc;
}

// eyeD3's classic listing of one tag version ("-1" or "-2"): one
// "label: value" per line, some lines holding two pairs split by tabs
// ("track: 1\t\tgenre: Rock (id 17)"); the comment text on the line
// after its "Comment:" header.
std::string id3Listing(const std::string& file, const char* version) {
  const auto r = runCommand({findProgram("eyeD3"), "--no-color", version, file});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.out;
}

// Vorbis comments as vorbiscomment -l lists them: NAME -> values in order.
std::map<std::string, Strings> vorbisComments(const std::string& file) {
  const auto r = runCommand({findProgram("vorbiscomment"), "-l", file});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::map<std::string, Strings> comments;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) comments[line.substr(0, eq)].push_back(line.substr(eq + 1));
  }
  return comments;
}

// What the user ends up with after the pick and the edits, per track:
// the file (relative to the output folder, UTF-8) and the tag texts (UTF-8).
struct Expected {
  int number;
  std::string file, title, artist;
};
const std::string kAlbumUtf8 = "Road Album: Caf\xC3\xA9";
// "<album>\<artist>\<number> - <track>": the colon became a space, the
// slash a hyphen, the question mark a space that the end trim removed.
const std::string kPattern = "<album>\\<artist>\\<number> - <track>";
const std::vector<Expected> kExpected = {
    {1, "Road Album  Caf\xC3\xA9/Guest Star/01 - Intro-Outro", "Intro/Outro", "Guest Star"},
    {2, "Road Album  Caf\xC3\xA9/Guest Star/02 - Why", "Why?", "Guest Star"},
    {3, "Road Album  Caf\xC3\xA9/Second Artist/03 - Edited Finale", "Edited Finale", "Second Artist"},
};
constexpr const char* kComment = "Encoded with Rondel for Tavlo3 (https://rondel.example.org)";

struct Format {
  const char* name;
  const char* value;      // the "Format" item's text, a "rondel:FORMATS" row
  const char* extension;  // what the encoder library appends
};

// ID3v2 (eyeD3's JSON and its listing for the comment, which the JSON
// leaves out) and ID3v1 (eyeD3 -1 reads it from the last 128 bytes).
void checkId3Tags(const std::string& file, const Expected& e) {
  const nlohmann::json v2 = id3v2Tag(file);
  EXPECT_EQ(v2.value("title", ""), e.title) << v2.dump();
  EXPECT_EQ(v2.value("artist", ""), e.artist) << v2.dump();
  EXPECT_EQ(v2.value("album", ""), kAlbumUtf8) << v2.dump();
  EXPECT_EQ(v2.value("recording_date", ""), "1987") << v2.dump();
  EXPECT_EQ(v2.value("genre", ""), "Rock") << v2.dump();
  EXPECT_EQ(v2.value("track_num", nlohmann::json::object()).value("count", 0), e.number) << v2.dump();
  const std::string v2Listing = id3Listing(file, "-2");
  EXPECT_NE(v2Listing.find("ID3 v2."), std::string::npos) << v2Listing;
  EXPECT_NE(v2Listing.find(std::string("\n") + kComment + "\n"), std::string::npos) << v2Listing;

  const std::string v1 = id3Listing(file, "-1");
  EXPECT_NE(v1.find("ID3 v1."), std::string::npos) << v1;
  for (const std::string& line :
       {"title: " + e.title, "artist: " + e.artist, "album: " + kAlbumUtf8, std::string("release date: 1987"),
        "track: " + std::to_string(e.number) + "\t\tgenre: Rock (id 17)",
        // The v1 comment field holds 28 bytes: the text is cut there.
        std::string(kComment).substr(0, 28)})
    EXPECT_NE(v1.find("\n" + line + "\n"), std::string::npos) << line << " in\n" << v1;
}

// Exactly the comments ogg.dll writes, in UTF-8; no ID3v1 tag after the
// Ogg pages.
void checkVorbisComments(const std::string& file, const Expected& e) {
  const std::map<std::string, Strings> expected = {
      {"TITLE", {e.title}}, {"TRACKNUMBER", {std::to_string(e.number)}}, {"ARTIST", {e.artist}},
      {"ALBUM", {kAlbumUtf8}}, {"DATE", {"1987"}}, {"GENRE", {"Rock"}}, {"COMMENT", {kComment}}};
  EXPECT_EQ(vorbisComments(file), expected);
  const std::string bytes = readFile(file);
  ASSERT_GT(bytes.size(), 128u);
  EXPECT_EQ(bytes.substr(0, 4), "OggS");
  EXPECT_NE(bytes.substr(bytes.size() - 128, 3), "TAG");
}

// Test names and failure messages show the format's name.
void PrintTo(const Format& format, std::ostream* os) { *os << format.name; }

class Road : public ::testing::TestWithParam<Format> {};

TEST_P(Road, LookupPickEditsCopyAllTaggedFilesAndEject) {
  REQUIRE_TOOLS("ffmpeg", "eyeD3", "vorbiscomment");
  const Format& format = GetParam();
  TempDir dir;
  const char* source = std::getenv("RONDEL_SOURCE_DIR");
  const std::string description = std::string(source ? source : ".") + "/tests/e2e/road/road-disc.json";
  const auto made = runCommand({binDir() + "/mkdisc", description, "--out", dir.file("disc"), "--freedb",
                                dir.file("freedb"), "--json"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const auto layout = nlohmann::json::parse(made.out);
  const std::string entry = readFile(layout["entry"].get<std::string>());
  ASSERT_FALSE(entry.empty());
  const std::string id = layout["discid"], category = layout["category"];
  ASSERT_EQ(category, "misc");

  CddbServer server;
  ASSERT_TRUE(server.running());
  server.add(category, id, entry);
  server.add("rock", id, secondEntry(entry));

  RoadWindow f(layout["cue"].get<std::string>(), server.address());
  ASSERT_TRUE(f.set("Format", format.value));
  ASSERT_TRUE(f.set("Output Filename 3", kPattern));
  ASSERT_TRUE(f.show());

  // Poll, then the lookup: two matches (210), read in category order, the
  // first applied.
  ASSERT_TRUE(f.tick());
  ASSERT_TRUE(f.runUntilStatus("Ready"));
  f.loop().driver.runPending();
  ASSERT_EQ(f.window()->property("freedb.discid"), id);
  const auto items = f.entries().items();
  ASSERT_EQ(items.size(), 2u) << server.requests();
  EXPECT_EQ(items[0].text, "The Road Crew / First Pressing [misc]");
  EXPECT_EQ(items[1].text, "Second Artist / Road Album: Caf\xE9 [rock]");
  EXPECT_EQ(f.column(2), (Strings{"Start", "Middle", "End"}));  // audio tracks only

  // The user picks the second entry.
  ASSERT_TRUE(f.entries().selectItem(items[1].id));
  f.loop().driver.runPending();
  EXPECT_EQ(f.entries().shownText(), items[1].text);
  EXPECT_EQ(f.edit("Artist").text(), "Second Artist");
  EXPECT_EQ(f.edit("Album").text(), "Road Album: Caf\xE9");
  EXPECT_EQ(f.edit("Year").text(), "1987");
  EXPECT_EQ(f.edit("Genre").text(), "Rock");
  EXPECT_EQ(f.column(1), (Strings{"Second Artist", "Second Artist", "Second Artist"}));
  EXPECT_EQ(f.column(2), (Strings{"Intro/Outro", "Why?", "Plain Song"}));

  // One title retyped; then rows 1 and 2 selected and their artist retyped.
  f.list().userClickRow(2);
  EXPECT_EQ(f.edit("Track").text(), "Plain Song");
  f.edit("Track").selectAll();
  f.edit("Track").userType("Edited Finale");
  f.list().userClickRow(0);
  f.list().userClickRow(1, Click::Toggle);
  EXPECT_EQ(f.edit("Artist").text(), "Second Artist");
  f.edit("Artist").selectAll();
  f.edit("Artist").userType("Guest Star");
  EXPECT_EQ(f.column(1), (Strings{"Guest Star", "Guest Star", "Second Artist"}));
  EXPECT_EQ(f.column(2), (Strings{"Intro/Outro", "Why?", "Edited Finale"}));

  // Copy All: the artists differ, so "Output Filename 3" names the files.
  ASSERT_TRUE(f.button("Copy All").userClick());
  ASSERT_TRUE(f.runUntil([&] { return !f.button("Cancel copying").enabled(); }));
  for (const Expected& e : kExpected) {
    const Strings seen = f.loop().statuses(e.number);
    ASSERT_FALSE(seen.empty()) << "track " << e.number;
    EXPECT_EQ(seen.back(), "Copied") << "track " << e.number;
  }
  // "Eject" is on: the disc goes out once the queue is empty.
  ASSERT_TRUE(f.runUntilStatus("No Disc"));

  Strings expectedFiles;
  for (const Expected& e : kExpected) expectedFiles.push_back(e.file + format.extension);
  ASSERT_EQ(filesBelow(f.out().path()), expectedFiles);

  for (const Expected& e : kExpected) {
    SCOPED_TRACE(e.file);
    const std::string file = f.out().file(e.file + format.extension);
    // Each track's length from the table of contents (the last audio track
    // carries the 2-second gap before the data track), within one frame.
    const long sectors = layout["tracks"][e.number - 1]["sectors"].get<long>();
    EXPECT_NEAR(decodedFrames(file), sectors * 588, 1152);
    if (std::string(format.extension) == ".mp3")
      checkId3Tags(file, e);
    else
      checkVorbisComments(file, e);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, Road,
                         ::testing::Values(Format{"Mp3", "1: MPEG Layer-3 [.mp3] - 112 kbit/s", ".mp3"},
                                           Format{"Ogg", "2: Ogg Vorbis [.ogg] - 112 kbit/s", ".ogg"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
