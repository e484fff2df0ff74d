// The CDDB command handling without sockets: reply shapes, matching,
// character sets, hostile names and hostile entry files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"
#include "tools/cddb-server/accuraterip_files.h"
#include "tools/cddb-server/cddb_commands.h"
#include "tools/cddb-server/entry_store.h"
#include "tools/cddb-server/http_reply.h"
#include "tools/cddb-server/options.h"

namespace {

using namespace cddb_server;

// Two tracks at frame offsets 150 and 17265, 258 seconds: disc id 07010002.
std::string entry(const std::string& dtitle, const std::string& offsets = "#\t150\n#\t17265\n",
                  int seconds = 258) {
  return "# xmcd\n#\n# Track frame offsets:\n" + offsets + "#\n# Disc length: " +
         std::to_string(seconds) + " seconds\n#\nDISCID=07010002\nDTITLE=" + dtitle +
         "\nTTITLE0=One\nTTITLE1=Two, first half\nTTITLE1= and second half\n";
}

std::string form(const std::string& cmd, const std::string& proto = "5") {
  return "cmd=" + cmd + "&hello=user+example.org+tavlo3rondel+2&proto=" + proto;
}

const char kQuery[] = "cddb+query+07010002+2+150+17265+258";

TEST(CddbQuery, AnswersOneSeveralInexactOrNoMatch) {
  MemoryStore one;
  one.add("rock", "07010002", entry("Artist / Album"));
  EXPECT_EQ(handleCddbForm(form(kQuery), one, {}).text, "200 rock 07010002 Artist / Album\r\n");

  MemoryStore three;
  for (const char* category : {"rock", "jazz", "misc"})
    three.add(category, "07010002", entry(std::string("T ") + category));
  EXPECT_EQ(handleCddbForm(form(kQuery), three, {}).text,
            "210 Found exact matches, list follows (until terminating `.')\r\n"
            "jazz 07010002 T jazz\r\nmisc 07010002 T misc\r\nrock 07010002 T rock\r\n.\r\n");

  // Another id whose offsets lie within 3 s (225 frames) and length within 3 s.
  MemoryStore near;
  near.add("folk", "07010003", entry("Near", "#\t150\n#\t17400\n", 260));
  near.add("folk", "07010004", entry("Too far", "#\t150\n#\t17600\n", 258));
  near.add("folk", "07010005", entry("Other count", "#\t150\n#\t17265\n#\t18000\n", 258));
  EXPECT_EQ(handleCddbForm(form(kQuery), near, {}).text,
            "211 Found inexact matches, list follows (until terminating `.')\r\n"
            "folk 07010003 Near\r\n.\r\n");
  MatchOptions exactOnly;
  exactOnly.fuzzySeconds = 0;
  EXPECT_EQ(handleCddbForm(form(kQuery), near, exactOnly).text,
            "202 No match for disc ID 07010002.\r\n");
  EXPECT_EQ(handleCddbForm(form("cddb+query+0701000A+2+150+17265+258"), MemoryStore(), {}).text,
            "202 No match for disc ID 0701000a.\r\n");
}

TEST(CddbRead, ServesTheEntryAsStoredWithCrLfAndFinalDot) {
  MemoryStore store;
  store.add("rock", "07010002", entry("Artist / Album"));
  const std::string text = handleCddbForm(form("cddb+read+rock+07010002"), store, {}).text;
  EXPECT_EQ(text.rfind("210 rock 07010002 CD database entry follows (until terminating `.')\r\n# xmcd\r\n", 0), 0u);
  // The split field stays two lines with the same key.
  EXPECT_NE(text.find("TTITLE1=Two, first half\r\nTTITLE1= and second half\r\n.\r\n"), std::string::npos);
  EXPECT_EQ(text.find("\n\n"), std::string::npos);
  EXPECT_EQ(handleCddbForm(form("cddb+read+jazz+07010002"), store, {}).text,
            "401 jazz 07010002 No such CD entry in database.\r\n");
  // The revision line clients need is added, unless the entry has its own.
  EXPECT_NE(text.find("# Disc length: 258 seconds\r\n# Revision: 0\r\n#\r\n"), std::string::npos) << text;
  std::string withRevision = entry("A / B");
  withRevision.insert(withRevision.find("DISCID"), "# Revision: 7\n#\n");
  store.add("jazz", "07010002", withRevision);
  const std::string kept = handleCddbForm(form("cddb+read+jazz+07010002"), store, {}).text;
  EXPECT_EQ(kept.find("# Revision: 0"), std::string::npos) << kept;
  EXPECT_NE(kept.find("# Revision: 7\r\n"), std::string::npos) << kept;

  // No line of an entry can end the reply or split a line: "." lines are
  // left out, a lone CR or a control byte inside a field becomes a space
  // (tabs stay: the offsets list is written with them).
  std::string hostile = entry("Art\rist / Al\x1b[31mbum");
  hostile.insert(hostile.find("TTITLE0"), ".\n..\n.x\n");
  hostile += "TTITLE0=\x01\x7f\xC2\x85\r\n";  // U+0085 is a line break to some readers
  store.add("misc", "07010002", hostile);
  const std::string served = handleCddbForm(form("cddb+read+misc+07010002", "6"), store, {}).text;
  EXPECT_EQ(served.find("\r\n."), served.size() - 5) << served;  // the end, once
  EXPECT_NE(served.find("DTITLE=Art ist / Al [31mbum\r\n"), std::string::npos) << served;
  EXPECT_NE(served.find("#\t150\r\n"), std::string::npos) << served;
  EXPECT_NE(served.find("TTITLE1= and second half\r\nTTITLE0=   \r\n.\r\n"), std::string::npos) << served;
  const std::string matches = handleCddbForm(form(kQuery), store, {}).text;
  EXPECT_NE(matches.find("\r\nmisc 07010002 Art ist / Al [31mbum\r\n"), std::string::npos) << matches;
  for (const std::string& reply : {served, matches})
    for (std::size_t i = 0; i < reply.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(reply[i]);
      const bool lineEnd = (c == '\r' && reply[i + 1] == '\n') || (c == '\n' && reply[i - 1] == '\r');
      EXPECT_TRUE((c >= 0x20 && c != 0x7F) || c == '\t' || lineEnd) << int(c) << " at " << i;
    }
}

TEST(CddbCommands, RefusesMalformedCommandsAndLevels) {
  MemoryStore store;
  store.add("rock", "07010002", entry("Artist / Album"));
  const std::string longText(5000, 'a');
  for (const std::string& cmd : std::vector<std::string>{"", "cddb", "cddb+lscat+x", "motd+x", "cddb+write", "cddb+query", "cddb+query+0701002+2+150+17265+258",
        "cddb+query+0701000g+2+150+17265+258", "cddb+query+07010002+3+150+17265+258",
        "cddb+query+07010002+0+258", "cddb+query+07010002+100+150+258",
        "cddb+query+07010002+2+150+-1+258", "cddb+query+07010002+2+150+17265+9999999999",
        "cddb+read+rock", "cddb+read+rock+07010002+x", "cddb+read+..%2Fetc+07010002",
        "cddb+read+../etc+07010002", "cddb+read+rock+../../../etc/passwd",
        "cddb+read+rock+%2E%2E%2F%2E%2E%2F", "cddb+read+" + longText + "+07010002",
        "cddb+read+" + std::string(65, 'r') + "+07010002"})
    EXPECT_EQ(handleCddbForm(form(cmd), store, {}).text, "500 Command syntax error\r\n") << cmd;
  EXPECT_EQ(handleCddbForm(std::string(kMaxFormBytes + 1, 'x'), store, {}).text,
            "500 Command syntax error\r\n");

  for (const std::string proto : {"7", "0", "abc", "", "99999999999"})
    EXPECT_EQ(handleCddbForm(form(kQuery, proto), store, {}).text, "501 Illegal protocol level.\r\n");
  // Without proto the protocol's default level 1 applies.
  EXPECT_EQ(handleCddbForm(std::string("cmd=") + kQuery, store, {}).text.substr(0, 4), "200 ");
}

TEST(CddbCommands, Level5SpeaksWindows1252AndLevel6Utf8) {
  MemoryStore store;
  // U+00E9 and U+20AC exist in Windows-1252 (0xE9, 0x80); U+65E5 does not.
  store.add("rock", "07010002", entry("Caf\xC3\xA9 \xE2\x82\xAC / \xE6\x97\xA5"));
  store.add("jazz", "07010009", entry("Caf\xE9 / Old"));  // stored as Windows-1252

  CddbReply five = handleCddbForm(form(kQuery), store, {});
  EXPECT_FALSE(five.utf8);
  EXPECT_EQ(five.text, "200 rock 07010002 Caf\xE9 \x80 / ?\r\n");
  CddbReply six = handleCddbForm(form(kQuery, "6"), store, {});
  EXPECT_TRUE(six.utf8);
  EXPECT_EQ(six.text, "200 rock 07010002 Caf\xC3\xA9 \xE2\x82\xAC / \xE6\x97\xA5\r\n");

  EXPECT_NE(handleCddbForm(form("cddb+read+jazz+07010009", "6"), store, {}).text.find("DTITLE=Caf\xC3\xA9 / Old\r\n"),
            std::string::npos);
  EXPECT_NE(handleCddbForm(form("cddb+read+jazz+07010009", "5"), store, {}).text.find("DTITLE=Caf\xE9 / Old\r\n"),
            std::string::npos);
}

TEST(CddbFolder, SkipsHostileAndDamagedFiles_CountsEntriesWithoutReadingThem) {
  testing_support::TempDir root;
  std::filesystem::create_directories(root.file("rock"));
  std::filesystem::create_directories(root.file("misc/07010002"));  // a folder, not an entry
  root.write("rock/07010002", entry("Good"));
  root.write("rock/0701000b", std::string("DTITLE=x\n\0\n", 11));                  // not text
  root.write("rock/0701000c", entry("Big") + std::string(kMaxEntryBytes, '#'));     // too large
  ASSERT_EQ(::mkfifo(root.file("rock/0701000d").c_str(), 0600), 0);                  // would block
  root.write("rock/README", "not an entry");
  // Symbolic links, as a dump can carry them: to a file outside, to an
  // entry inside, and a category folder that is a link.
  testing_support::TempDir outside;
  outside.write("07010002", entry("Outside"));
  std::filesystem::create_symlink("/etc/passwd", root.file("misc/00000001"));
  std::filesystem::create_symlink(outside.file("07010002"), root.file("rock/0701000e"));
  std::filesystem::create_symlink("07010002", root.file("rock/0701000f"));
  std::filesystem::create_directory_symlink(outside.path(), root.file("linked"));
  std::filesystem::create_directory_symlink(root.file("rock"), root.file("samefolder"));

  FolderStore store(root.path());
  EXPECT_EQ(store.categories(), (std::vector<std::string>{"misc", "rock"}));
  EXPECT_EQ(handleCddbForm(form(kQuery), store, {}).text, "200 rock 07010002 Good\r\n");
  for (const char* id : {"rock+0701000b", "rock+0701000c", "rock+0701000d", "rock+0701000e",
                         "rock+0701000f", "misc+00000001", "linked+07010002", "samefolder+07010002"})
    EXPECT_EQ(handleCddbForm(form(std::string("cddb+read+") + id), store, {}).text.substr(0, 4), "401 ")
        << id;
  EXPECT_FALSE(store.exists("samefolder", "07010002"));
  EXPECT_FALSE(store.exists("rock", "0701000f"));
  EXPECT_EQ(store.discIds("rock"), (std::vector<std::string>{"07010002", "0701000b", "0701000c"}));
  EXPECT_EQ(store.countEntries("samefolder", 100), 0u);
  // Names that would leave the root never reach the file system.
  EXPECT_FALSE(store.load("..", "07010002"));
  EXPECT_FALSE(store.load("rock/..", "07010002"));
  EXPECT_FALSE(store.load("rock", "../rock/07010002"));

  // Counted by name, damaged ones too; the pipe is no file.
  EXPECT_EQ(store.countEntries("rock", 100), 3u);
  EXPECT_EQ(store.countEntries("rock", 2), 2u);
  EXPECT_EQ(store.countEntries("jazz", 100), 0u);
  EXPECT_TRUE(store.exists("rock", "07010002"));
  EXPECT_FALSE(store.exists("rock", "07010009"));
  EXPECT_FALSE(store.exists("rock", "README"));
}

TEST(CddbHttpReply, RoutesAndAppliesFaultModes) {
  MemoryStore store;
  store.add("rock", "07010002", entry("Artist / Album"));
  Options options;
  options.failReads.insert("rock/07010002");

  HttpReply query = replyFor("GET", "/~cddb/cddb.cgi?" + form(kQuery, "6"), options, store);
  EXPECT_EQ(query.status, 200);
  EXPECT_EQ(query.contentType, "text/plain; charset=UTF-8");
  EXPECT_EQ(query.body, "200 rock 07010002 Artist / Album\r\n");
  EXPECT_EQ(replyFor("GET", "/~cddb/cddb.cgi?" + form("cddb+read+rock+07010002"), options, store).status, 500);
  EXPECT_EQ(replyFor("GET", "/~cddb/cddb.cgi?" + form(kQuery), options, store).contentType,
            "text/plain; charset=windows-1252");
  EXPECT_EQ(replyFor("GET", "/cgi-bin/cddb.cgi?" + form(kQuery), options, store).status, 404);
  EXPECT_EQ(replyFor("POST", "/~cddb/cddb.cgi", options, store).status, 405);

  options.redirect = "http://127.0.0.1:1/~cddb/cddb.cgi";
  HttpReply moved = replyFor("GET", "/anything", options, store);
  EXPECT_EQ(moved.status, 302);
  EXPECT_EQ(moved.location, options.redirect);
  EXPECT_NE(serializeReply(moved).find("\r\nLocation: http://127.0.0.1:1/~cddb/cddb.cgi\r\n"), std::string::npos);
  EXPECT_EQ(logLine("GET", "/x\r\nGET /forged"), "GET /x??GET /forged");

  EXPECT_EQ(decodeForm("cmd=a+b%2Fc%zz%4&cmd=second&=x&k")["cmd"], "a b/c%zz%4");
}

// Database files: only names of the database's own layout, only regular
// files that are no links and lie under no linked folder, at most 64 KiB.
TEST(CddbHttpReply, ServesAccurateRipFilesOfTheLayoutOnly) {
  testing_support::TempDir dir;
  const std::string name = "e/4/c/dBAR-003-00000c4e-00002905-12001503.bin";
  std::filesystem::create_directories(dir.file("ar/e/4/c"));
  dir.write("ar/" + name, std::string("\x03\0binary", 9));
  MemoryStore store;
  Options options;
  options.accurateRipRoot = dir.file("ar");
  HttpReply found = replyFor("GET", "/accuraterip/" + name, options, store);
  EXPECT_EQ(found.status, 200);
  EXPECT_EQ(found.contentType, "application/octet-stream");
  EXPECT_EQ(found.body, std::string("\x03\0binary", 9));
  EXPECT_EQ(replyFor("GET", "http://127.0.0.1:1/accuraterip/" + name, options, store).status, 200);
  EXPECT_EQ(replyFor("POST", "/accuraterip/" + name, options, store).status, 405);

  for (const std::string bad :
       {"e/4/c/dBAR-003-00000c4e-00002905-12001504.bin",  // absent
        "c/4/e/dBAR-003-00000c4e-00002905-12001503.bin",  // folders not id1's digits
        "e/4/c/dBAR-003-00000C4E-00002905-12001503.bin",  // upper case
        "e/4/c/dBAR-03-000000c4e-00002905-12001503.bin", "e/4/c/../../../../etc/passwd.bin",
        "e/4/c/dBAR-003-00000c4e-00002905-12001503.bin/", "e/4/c/dBAR-003-00000c4e-00002905-12001503.bi"})
    EXPECT_EQ(replyFor("GET", "/accuraterip/" + bad, options, store).status, 404) << bad;
  EXPECT_FALSE(accurateRipFileName("/accuraterip/e/4/c/dBAR-003-00000c4e-00002905-1200150\n.bin"));

  // A linked file, a linked folder, a FIFO and an oversized file: refused.
  const std::string other = "f/4/c/dBAR-003-00000c4f-00002905-12001503.bin";
  std::filesystem::create_directories(dir.file("ar/f/4"));
  std::filesystem::create_directory_symlink(dir.file("ar/e/4/c"), dir.file("ar/f/4/c"));
  EXPECT_EQ(replyFor("GET", "/accuraterip/" + std::string("f/4/c/") + name.substr(6), options, store).status, 404);
  std::filesystem::create_directories(dir.file("ar/0/0/0"));
  std::filesystem::create_symlink(dir.file("ar/" + name), dir.file("ar/0/0/0/dBAR-003-00000000-00002905-12001503.bin"));
  EXPECT_FALSE(loadAccurateRipFile(options.accurateRipRoot, "0/0/0/dBAR-003-00000000-00002905-12001503.bin"));
  ASSERT_EQ(::mkfifo(dir.file("ar/0/0/0/dBAR-003-00000000-00002905-12001504.bin").c_str(), 0600), 0);
  EXPECT_FALSE(loadAccurateRipFile(options.accurateRipRoot, "0/0/0/dBAR-003-00000000-00002905-12001504.bin"));
  dir.write("ar/0/0/0/dBAR-003-00000000-00002905-12001505.bin", std::string(kMaxAccurateRipFileBytes + 1, 'x'));
  EXPECT_FALSE(loadAccurateRipFile(options.accurateRipRoot, "0/0/0/dBAR-003-00000000-00002905-12001505.bin"));
  dir.write("ar/0/0/0/dBAR-003-00000000-00002905-12001506.bin", std::string(kMaxAccurateRipFileBytes, 'x'));
  EXPECT_TRUE(loadAccurateRipFile(options.accurateRipRoot, "0/0/0/dBAR-003-00000000-00002905-12001506.bin"));
  // Without --accuraterip nothing is served.
  options.accurateRipRoot.clear();
  EXPECT_EQ(replyFor("GET", "/accuraterip/" + name, options, store).status, 404);
}

TEST(CddbOptions, RefusesBadCommandLines) {
  testing_support::TempDir root;
  const ParsedOptions good = parseOptions({"--root", root.path(), "--listen", "127.0.0.1:0", "--slow",
                                           "--fail-read", "rock/0701000A", "--delay=250"});
  ASSERT_EQ(good.error, "");
  EXPECT_EQ(good.options.port, 0);
  EXPECT_TRUE(good.options.rawSocketMode());
  EXPECT_EQ(good.options.failReads.count("rock/0701000a"), 1u);
  EXPECT_EQ(good.options.delayMs, 250);
  EXPECT_EQ(parseOptions({"--root", root.path(), "--accuraterip", root.path()}).options.accurateRipRoot, root.path());
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {}, {"--root", root.file("missing")}, {"--root", root.path(), "--listen", "127.0.0.1:65536"},
           {"--root", root.path(), "--listen", "host:80"}, {"--root", root.path(), "--delay", "-1"},
           {"--root", root.path(), "--redirect", "http://x/\r\nSet-Cookie: a"},
           {"--root", root.path(), "--fail-read", "../x/07010002"}, {"--root", root.path(), "--bogus"},
           {"--root"}, {"--root", root.path(), "--accuraterip", root.file("missing")},
           {"--root", root.path(), "--accuraterip="}})
    EXPECT_NE(parseOptions(bad).error, "");
}

TEST(CddbQuery, ALargeTreeIsSearchedOnlyAmongTheIdsAMatchCanHave) {
  // The query: 07010002 (offsets 150 and 17265, 258 s). A near layout under
  // its own computed id, and the same near layout under a made-up name.
  const std::vector<long> nearOffsets{150, 17400};
  const std::string nearId = [&] {
    char id[16];
    std::snprintf(id, sizeof id, "%08lx", cddbDiscId(nearOffsets, 260));
    return std::string(id);
  }();
  MemoryStore store;
  store.add("folk", nearId, entry("Near", "#\t150\n#\t17400\n", 260));
  store.add("misc", "0abcdef0", entry("Named by hand", "#\t150\n#\t17400\n", 260));
  MatchOptions scan;  // two entries: below the scan limit, the whole tree is searched
  EXPECT_EQ(handleCddbForm(form(kQuery), store, scan).text,
            "211 Found inexact matches, list follows (until terminating `.')\r\n"
            "folk " + nearId + " Near\r\nmisc 0abcdef0 Named by hand\r\n.\r\n");
  MatchOptions probe;
  probe.scanLimit = 1;  // above it: only the candidate names
  EXPECT_EQ(handleCddbForm(form(kQuery), store, probe).text,
            "211 Found inexact matches, list follows (until terminating `.')\r\n"
            "folk " + nearId + " Near\r\n.\r\n");

  // The candidates: playing times within 2N + 2 s, and the checksums the
  // digit sums of starts within N + 1 s reach: 0..6 for the track at 2 s,
  // 5..13 for the one at 230 s, so 5..19.
  const auto ids = candidateDiscIds({150, 17265}, 258, 3);
  EXPECT_EQ(ids.size(), 15u * 17u);
  EXPECT_NE(std::find(ids.begin(), ids.end(), "07010002"), ids.end());
  EXPECT_NE(std::find(ids.begin(), ids.end(), nearId), ids.end());
  EXPECT_EQ(std::find(ids.begin(), ids.end(), "07010003"), ids.end());  // another track count
  EXPECT_TRUE(candidateDiscIds({150}, 258, 0).empty());
  EXPECT_EQ(cddbDiscId({150, 17265}, 258), 0x07010002ul);
}

TEST(CddbCommands, AnswersTheServerCommands) {
  MemoryStore store;
  store.add("rock", "07010002", entry("A / B"));
  store.add("jazz", "07010002", entry("C / D"));
  store.add("jazz", "0a0b0c0d", entry("E / F"));
  MatchOptions options;
  options.server.host = "db.example.org";
  options.server.port = 8880;
  options.server.started = "06/12/26 10:00:00";
  EXPECT_EQ(handleCddbForm(form("cddb+lscat"), store, options).text,
            "210 OK, category list follows (until terminating `.')\r\njazz\r\nrock\r\n.\r\n");
  EXPECT_EQ(handleCddbForm(form("sites", "6"), store, options).text,
            "210 OK, site information follows (until terminating `.')\r\n"
            "db.example.org http 8880 /~cddb/cddb.cgi N000.00 W000.00 Local freedb-format folder "
            "(cddb-server)\r\n.\r\n");
  EXPECT_EQ(handleCddbForm(form("sites", "1"), store, options).text,
            "401 No site information available.\r\n");
  EXPECT_EQ(handleCddbForm(form("motd"), store, options).text.rfind(
                "210 Last modified: 06/12/26 10:00:00 MOTD follows (until terminating `.')\r\n", 0),
            0u);
  EXPECT_EQ(handleCddbForm(form("VER"), store, options).text,
            std::string("200 cddb-server ") + kServerVersion + " Copyright (c) the Rondel authors.\r\n");
  const std::string stat = handleCddbForm(form("stat", "5"), store, options).text;
  EXPECT_NE(stat.find("    current proto: 5\r\n    max proto: 6\r\n    interface: http\r\n"),
            std::string::npos)
      << stat;
  EXPECT_NE(stat.find("Database entries: 3\r\nDatabase entries by category:\r\n    jazz: 2\r\n"
                      "    rock: 1\r\n.\r\n"),
            std::string::npos)
      << stat;
  EXPECT_EQ(handleCddbForm(form("help"), store, options).text.rfind(
                "210 OK, help information follows (until terminating `.')\r\n", 0),
            0u);
  EXPECT_EQ(handleCddbForm(form("discid+2+150+17265+258"), store, options).text,
            "200 Disc ID is 07010002\r\n");
  for (const char* bad : {"discid", "discid+2+150+258", "discid+0+258", "sites+x", "stat+x", "ver+1"})
    EXPECT_EQ(handleCddbForm(form(bad), store, options).text, "500 Command syntax error\r\n") << bad;
}

}  // namespace
