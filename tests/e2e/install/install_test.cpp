// `cmake --install` of this build into a temporary prefix, and the installed
// programs run from there: the layout, the relative qomhost symlink, binaries
// free of build-tree paths, the man page and the desktop entry, and a rip of
// a made disc with a lookup, all through the installed files only.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "support/background_process.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::CommandResult;
using testing_support::findProgram;
using testing_support::runCommand;
using testing_support::TempDir;

namespace {

const std::string kAppDir = RONDEL_INSTALL_APPDIR;
const std::string kBinDir = RONDEL_INSTALL_BINDIR;
const std::string kDataDir = RONDEL_INSTALL_DATADIR;
const std::string kManDir = RONDEL_INSTALL_MANDIR;
const std::string kDocDir = RONDEL_INSTALL_DOCDIR;

// Installs the named components of this build under `prefix`. One component
// at a time: cmake then records what it installed in the build folder's
// install_manifest_<component>.txt, and leaves install_manifest.txt, the
// record of a user's own full install, alone.
CommandResult install(const std::string& prefix,
                      const std::vector<std::string>& components = {"runtime", "tools", "docs"}) {
  CommandResult all;
  all.exitCode = 0;
  for (const std::string& component : components) {
    const CommandResult r = runCommand({RONDEL_CMAKE_COMMAND, "--install", RONDEL_BUILD_DIR,
                                        "--prefix", prefix, "--component", component});
    all.out += r.out;
    all.err += r.err;
    if (r.exitCode != 0) all.exitCode = r.exitCode;
  }
  return all;
}

// Every file and symlink below `root`, as paths relative to it.
std::set<std::string> filesBelow(const fs::path& root) {
  std::set<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (!e.is_directory() || e.is_symlink()) files.insert(e.path().lexically_relative(root).string());
  return files;
}

std::string required(const std::string& program) {
  const std::string path = findProgram(program);
  EXPECT_FALSE(path.empty()) << program << " is not installed (scripts/setup installs it)";
  return path;
}

class InstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (fs::path(kAppDir).is_absolute() || fs::path(kBinDir).is_absolute())
      GTEST_SKIP() << "absolute install folders were configured; this test installs into a temporary prefix";
    const CommandResult r = install(prefix);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  std::string at(const std::string& relative) const { return prefix + "/" + relative; }

  TempDir dir;
  std::string prefix = dir.file("prefix");
};

}  // namespace

TEST_F(InstallTest, LaysOutTheProgramsAndDataAndNothingFromTheTests) {
  const std::set<std::string> expected{
      kAppDir + "/qomhost",
      kAppDir + "/cdr.dll",
      kAppDir + "/lame.dll",
      kAppDir + "/ogg.dll",
      kAppDir + "/pcm.dll",
      kAppDir + "/qoms/rondel.qom",
      kAppDir + "/qoms/xml/rondel/rondel.xml",
      kBinDir + "/qomhost",
      kBinDir + "/cddb-server",
      kBinDir + "/mkdisc",
      kDataDir + "/applications/qomhost.desktop",
      kDataDir + "/pixmaps/qomhost.png",
      kManDir + "/man1/qomhost.1",
      kManDir + "/man1/cddb-server.1",
      kManDir + "/man1/mkdisc.1",
      kDocDir + "/README.md",
      kDocDir + "/cdr-config.md",
      kDocDir + "/mkdisc.md",
      kDocDir + "/cddb-server.md",
  };
  EXPECT_EQ(filesBelow(prefix), expected);
  // Every rule names its component, so the three above are the whole install.
  const std::string unnamed = dir.file("unnamed");
  ASSERT_EQ(install(unnamed, {"Unspecified"}).exitCode, 0);
  EXPECT_FALSE(fs::exists(unnamed)) << "install rules without a component";

  // bin/qomhost is a relative link, so the tree can be moved or staged.
  const fs::path link = at(kBinDir + "/qomhost");
  ASSERT_TRUE(fs::is_symlink(link));
  EXPECT_TRUE(fs::read_symlink(link).is_relative()) << fs::read_symlink(link);
  EXPECT_EQ(fs::canonical(link), fs::canonical(at(kAppDir + "/qomhost")));

  // No binary points into the build tree, and every library it needs is
  // found on the system.
  const std::string readelf = required("readelf"), ldd = required("ldd");
  for (const std::string& elf : expected) {
    if (const std::string type = fs::path(elf).extension(); !type.empty() && type != ".dll" && type != ".qom") continue;
    const CommandResult dynamic = runCommand({readelf, "-d", at(elf)});
    ASSERT_EQ(dynamic.exitCode, 0) << elf << dynamic.err;
    EXPECT_EQ(dynamic.out.find("RPATH"), std::string::npos) << elf << dynamic.out;
    EXPECT_EQ(dynamic.out.find("RUNPATH"), std::string::npos) << elf << dynamic.out;
    EXPECT_EQ(dynamic.out.find(RONDEL_BUILD_DIR), std::string::npos) << elf << dynamic.out;
    const CommandResult needed = runCommand({ldd, at(elf)});
    EXPECT_EQ(needed.out.find("not found"), std::string::npos) << elf << needed.out;
  }

  // A staged install (DESTDIR) of the runtime component alone: the link is
  // made inside the stage and still resolves there; no tools, no docs.
  const std::string stage = dir.file("stage");
  {
    testing_support::ScopedEnv destdir("DESTDIR", stage);
    const CommandResult r = install("/opt/rondel", {"runtime"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  const fs::path staged = stage + "/opt/rondel/" + kBinDir + "/qomhost";
  ASSERT_TRUE(fs::is_symlink(staged));
  EXPECT_EQ(fs::canonical(staged), fs::canonical(stage + "/opt/rondel/" + kAppDir + "/qomhost"));
  EXPECT_TRUE(fs::exists(stage + "/opt/rondel/" + kAppDir + "/qoms/xml/rondel/rondel.xml"));
  EXPECT_FALSE(fs::exists(stage + "/opt/rondel/" + kBinDir + "/mkdisc"));
  EXPECT_FALSE(fs::exists(stage + "/opt/rondel/" + kManDir));
}

// Each page renders without a warning and names every option its program's
// help lists, so the pages cannot fall behind the command lines.
TEST_F(InstallTest, ManPagesRenderCleanlyAndCoverEveryCommandLineOption) {
  const std::string groff = required("groff");
  struct Page {
    std::string program;
    std::string helpFlag;
    std::set<std::string> names;  // besides the options in the help: commands, sections, references
  };
  const Page pages[] = {
      {"qomhost", "--help-all", {"config", "list", "get", "set", "drives", "desktop", "disc", "rip", "-h",
                                 "ENVIRONMENT", "CDR_CONFIG", "XDG_CONFIG_HOME", "DISPLAY", "FILES", "EXAMPLES",
                                 "cddb-server(1)", "mkdisc(1)"}},
      {"mkdisc", "--help", {"-h"}},
      {"cddb-server", "--help", {}},
  };
  const std::regex option("--[a-z][a-z-]*");
  for (const Page& p : pages) {
    SCOPED_TRACE(p.program);
    const std::string page = at(kManDir + "/man1/" + p.program + ".1");
    const CommandResult lint = runCommand({groff, "-man", "-Tutf8", "-ww", "-z", page});
    EXPECT_EQ(lint.exitCode, 0);
    EXPECT_EQ(lint.err, "");

    // Plain text: no bold or underline by overstriking (and the pages turn
    // hyphenation off).
    const CommandResult text = runCommand({groff, "-man", "-Tascii", "-P-cbou", page});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    const CommandResult help = runCommand({at(kBinDir + "/" + p.program), p.helpFlag});
    ASSERT_EQ(help.exitCode, 0) << help.err;
    std::set<std::string> names = p.names;
    const std::string helpText = help.out + help.err;
    for (std::sregex_iterator i(helpText.begin(), helpText.end(), option), end; i != end; ++i)
      names.insert(i->str());
    EXPECT_GT(names.size(), 5u) << helpText;
    for (const std::string& name : names)
      EXPECT_NE(text.out.find(name), std::string::npos) << "the page does not mention " << name;
    for (const char* section : {"SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "SEE ALSO"})
      EXPECT_NE(text.out.find(section), std::string::npos) << section;
  }
}

TEST_F(InstallTest, DesktopEntryStartsTheInstalledDesktop) {
  const std::string entry = testing_support::readFile(at(kDataDir + "/applications/qomhost.desktop"));
  ASSERT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
  std::map<std::string, std::string> keys;
  std::istringstream in(entry);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    ASSERT_FALSE(line.empty() || line[0] == '[') << "one group only: " << line;
    const auto eq = line.find('=');
    ASSERT_NE(eq, std::string::npos) << line;
    EXPECT_TRUE(keys.emplace(line.substr(0, eq), line.substr(eq + 1)).second) << "twice: " << line;
  }
  EXPECT_EQ(keys["Type"], "Application");
  EXPECT_FALSE(keys["Name"].empty());
  EXPECT_EQ(keys["Exec"], "qomhost desktop");
  EXPECT_TRUE(fs::exists(at(kBinDir + "/" + keys["TryExec"]))) << keys["TryExec"];
  EXPECT_TRUE(fs::exists(at(kDataDir + "/pixmaps/" + keys["Icon"] + ".png"))) << keys["Icon"];
  EXPECT_EQ(keys["Categories"].rfind("AudioVideo;Audio;", 0), 0u) << keys["Categories"];

  // The reference checker, where it is installed (desktop-file-utils).
  if (const std::string validate = findProgram("desktop-file-validate"); !validate.empty()) {
    const CommandResult r =
        runCommand({validate, at(kDataDir + "/applications/qomhost.desktop")});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out + r.err, "");
  }
}

// Everything from the installed tree: mkdisc makes the disc and its entry,
// cddb-server serves it, and qomhost, started through the bin/ symlink,
// finds its component, skin, drive and encoder libraries in its own folder.
TEST_F(InstallTest, InstalledHostLooksUpAndRipsAMadeDisc) {
  const std::string qomhost = at(kBinDir + "/qomhost");
  const char* source = std::getenv("RONDEL_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  const CommandResult made =
      runCommand({at(kBinDir + "/mkdisc"), std::string(source) + "/tests/data/discs/exact-single.json",
                  "--out", dir.file("disc"), "--freedb", dir.file("freedb"), "--json"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const auto layout = nlohmann::json::parse(made.out);

  testing_support::BackgroundProcess server(
      {at(kBinDir + "/cddb-server"), "--root", dir.file("freedb"), "--listen", "127.0.0.1:0"},
      dir.file("server.log"));
  std::string listening;
  ASSERT_TRUE(server.waitForLine("listening on 127.0.0.1:", &listening)) << server.log();
  const std::string address = listening.substr(std::string("listening on ").size());

  testing_support::ScopedEnv drives(
      "CDR_CONFIG", dir.write("cdr.json", R"({"drives": [{"type": "image", "name": "Installed",
        "path": ")" + layout["cue"].get<std::string>() + R"("}]})"));
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {qomhost, "--config-dir", dir.file("config")});
    return runCommand(args);
  };
  const CommandResult listed = run({"drives"});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_EQ(listed.out, "0\tInstalled\n");
  ASSERT_EQ(run({"config", "set", "Freedb Server", address}).exitCode, 0);
  EXPECT_TRUE(fs::exists(dir.file("config/config.json")));

  const CommandResult r = run({"rip", "--all", "--output", dir.file("rips"), "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const auto doc = nlohmann::json::parse(r.out);
  ASSERT_EQ(doc["tracks"].size(), 1u) << r.out;
  EXPECT_EQ(doc["tracks"][0]["status"], "Copied");
  // Named from the looked-up entry by "Output Filename 2".
  const std::string file =
      dir.file("rips/Exact Audio - Three Hundred And One/01. Exactly 301 Sectors.mp3");
  EXPECT_EQ(doc["tracks"][0]["file"], file);
}
