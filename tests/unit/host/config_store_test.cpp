// Two qomhost processes share one configuration file: the desktop and a
// `config set` beside it. Each store saves only what changed in it over what
// the other wrote, so neither undoes the other.
#include <gtest/gtest.h>

#include <memory>

#include "host/core/config_store.h"
#include "sdk/config.h"
#include "support/temp_dir.h"

namespace {

// One process's view: its store and the component's group, attached.
struct Process {
  explicit Process(const std::string& folder) : store(folder) {
    group.setName("Rondel");
    group.setGuid(*qom::Guid::parse("{2F1E7C10-4A4B-4C3D-9E55-6B0A1C2D3E4F}"));
    group.addString("Proxy Server", "");
    group.addBool("Eject", false);
    group.addString("Output Folder", "C:\\My Audio Files");
    store.load();
    store.attach(&group);
  }
  ~Process() { store.detach(&group); }
  qomhost::ConfigStore store;
  qom::ConfigGroupImpl group;
};

TEST(ConfigStore, ChangesOfTwoProcessesBothSurvive) {
  testing_support::TempDir dir;
  auto desktop = std::make_unique<Process>(dir.path());
  Process command(dir.path());  // loaded after the desktop, before its edits
  ASSERT_TRUE(desktop->group.setString("Output Folder", "Z:\\srv\\music"));
  ASSERT_TRUE(command.group.setString("Proxy Server", "proxy.example.org:3128"));
  ASSERT_TRUE(desktop->group.setString("Eject", "1"));  // the desktop saves again
  EXPECT_TRUE(desktop->store.changesSaved());
  EXPECT_TRUE(command.store.changesSaved());

  Process restarted(dir.path());
  EXPECT_EQ(restarted.group.getString("Proxy Server"), "proxy.example.org:3128");
  EXPECT_EQ(restarted.group.getString("Eject"), "1");
  EXPECT_EQ(restarted.group.getString("Output Folder"), "Z:\\srv\\music");

  // The same item changed in both: the later save wins; a file removed in
  // between is written again from what the saving process holds.
  ASSERT_TRUE(command.group.setString("Eject", "0"));
  std::filesystem::remove(command.store.filePath());
  ASSERT_TRUE(desktop->group.setString("Proxy Server", "other.example.org:8080"));
  desktop.reset();
  Process last(dir.path());
  EXPECT_EQ(last.group.getString("Proxy Server"), "other.example.org:8080");
  EXPECT_EQ(last.group.getString("Eject"), "1");  // the desktop's own value
  EXPECT_EQ(last.group.getString("Output Folder"), "Z:\\srv\\music");
}

}  // namespace
