// The real component in a host without a display: registration and
// withdrawal, services, text feed lists, window requests, launcher icon,
// drive selection, and the host's configuration store.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "main_window_fixture.h"
#include "sdk/component.h"
#include "sdk/service.h"
#include "sdk/ui/icon_button.h"

using testing_support::HostFixture;
using testing_support::kRondelGuid;
using testing_support::MainWindowFixture;

namespace {

const qom::Guid kConfigParent = *qom::Guid::parse("{99CFD75C-1CA7-49E5-B8C0-7D78AA443C10}");

std::vector<int> tail(const std::vector<int>& v, std::size_t from) {
  return std::vector<int>(v.begin() + static_cast<long>(std::min(from, v.size())), v.end());
}

std::string itemText(qomhost::HostSession& s, const char* name) {
  qom::ConfigItem* item = s.findItem(name);
  return item != nullptr ? item->text() : "<missing>";
}

// A parent window that records what its children report.
struct RecordingParent : qom::ui::Window {
  struct Note { int code; std::intptr_t a; std::string text; };
  std::vector<Note> notes;
  int onChildNotify(qom::ui::Window*, int code, std::intptr_t a, std::intptr_t) override {
    notes.push_back({code, a, code == 17000 && a != 0 ? reinterpret_cast<const char*>(a) : ""});
    return 1;
  }
};

}  // namespace

TEST(ComponentLifecycle, RegistersResourcesPagesAndGroupThenWithdrawsInOrder) {
  HostFixture fixture({"SIM Drive A", "SIM Drive B"});
  auto session = fixture.start();
  qomhost::HostCore& host = session->host();

  // 200: three services and the auto-popup in list order, then the group;
  // 400: the four pages; 500/58115: the skin file.
  EXPECT_EQ(host.messageLog(), (std::vector<int>{400, 400, 1310, 400, 6700, 6900, 6900, 6900,
                                                 6900, 5901}));
  auto popups = host.autoPopups();
  ASSERT_EQ(popups.size(), 1u);
  EXPECT_EQ(popups[0].guid, kRondelGuid);
  EXPECT_EQ(popups[0].description, "Rondel");
  EXPECT_FALSE(popups[0].preferredContainer.has_value());
  EXPECT_FALSE(popups[0].containerRequired);

  auto skins = host.skinFiles();
  ASSERT_EQ(skins.size(), 1u);
  EXPECT_EQ(skins[0].path, "qoms/xml/rondel/rondel.xml");
  EXPECT_TRUE(std::filesystem::exists(testing_support::binDir() + "/" + skins[0].path));

  auto pages = host.prefPages();
  const std::pair<const char*, const char*> kPages[] = {{"rondel.options", "Rondel"},
      {"rondel.options.output", "Output"}, {"rondel.options.device", "Devices"},
      {"rondel.options.freedb", "Freedb"}};
  ASSERT_EQ(pages.size(), 4u);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(pages[i].id, kPages[i].first);
    EXPECT_EQ(pages[i].title, kPages[i].second);
    EXPECT_EQ(pages[i].guid, i == 0 ? kRondelGuid : qom::kNullGuid);
    EXPECT_EQ(pages[i].parent, i == 0 ? qom::kNullGuid : kRondelGuid);
  }

  auto groups = host.configGroups();
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_STREQ(groups[0]->name(), "Rondel");
  EXPECT_EQ(groups[0]->guid(), kRondelGuid);
  EXPECT_EQ(groups[0]->parentGuid(), kConfigParent);
  EXPECT_EQ(groups[0]->itemCount(), 14);

  auto creators = host.services(qom::kServiceWindowCreator);
  ASSERT_EQ(creators.size(), 2u);
  for (const auto& creator : creators) EXPECT_EQ(creator.name, "Rondel");
  auto feeds = host.services(qom::kServiceTextFeed);
  ASSERT_EQ(feeds.size(), 1u);
  EXPECT_EQ(feeds[0].name, "rondel:DEVICES");
  EXPECT_TRUE(feeds[0].factory->guid().isNull());

  // Host ready picked the first drive as the default device.
  EXPECT_EQ(itemText(*session, "Device"), "SIM Drive A");

  const std::size_t before = host.messageLog().size();
  host.stopComponents();
  EXPECT_EQ(tail(host.messageLog(), before), (std::vector<int>{401, 401, 1312, 401, 5902, 6710}));
  EXPECT_TRUE(host.skinFiles().empty());
  EXPECT_TRUE(host.autoPopups().empty());
  EXPECT_TRUE(host.configGroups().empty());
}

TEST(ComponentLifecycle, ComponentObjectAnswersItsMessagesAndExportsBeforeInit) {
  testing_support::TempDir dir;
  testing_support::ScopedEnv noDrives("CDR_CONFIG", dir.write("none.json", R"({"drives": []})"));
  const std::string path = testing_support::binDir() + "/qoms/rondel.qom";
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << ::dlerror();
  auto getVersion = reinterpret_cast<QOM_getVersion_t>(::dlsym(module, "QOM_getVersion"));
  auto init = reinterpret_cast<QOM_init_t>(::dlsym(module, "QOM_init"));
  auto enumComponent = reinterpret_cast<QOM_enumComponent_t>(::dlsym(module, "QOM_enumComponent"));
  ASSERT_TRUE(getVersion && init && enumComponent);

  EXPECT_EQ(getVersion(), 7);  // before any QOM_init
  qom::Component* component = enumComponent();
  ASSERT_NE(component, nullptr);
  EXPECT_EQ(component->moduleHandle(), 0u);
  EXPECT_EQ(init(0x1111), 1);
  EXPECT_EQ(component->moduleHandle(), 0x1111u);
  EXPECT_EQ(init(0x2222), 1);  // a second init moves the component's copy
  EXPECT_EQ(component->moduleHandle(), 0x2222u);

  EXPECT_STREQ(component->name(), "Rondel");
  EXPECT_EQ(component->guid(), kRondelGuid);
  EXPECT_NE(component->configGroup(0), nullptr);
  EXPECT_EQ(component->configGroup(1), nullptr);
  int result = -1;
  std::intptr_t a = 5, b = 6;
  void* args[] = {&a, &b};
  EXPECT_EQ(component->dispatch(420, &result, args, 2), 1);
  EXPECT_EQ(result, 0);
  for (int unknown : {0, 101, 300, 401, 700, 999, 58115}) {
    result = -1;
    EXPECT_EQ(component->dispatch(unknown, &result, nullptr, 0), 0) << unknown;
    EXPECT_EQ(result, -1) << unknown;
  }
  component->destroyComponent();
  ::dlclose(module);
}

TEST(ComponentLifecycle, TextFeedServesExactlyItsThreeLists) {
  {
    HostFixture fixture({"SIM Drive A", "SIM Drive B"});
    auto session = fixture.start();
    qomhost::HostCore& host = session->host();
    EXPECT_EQ(host.feedList("rondel:DEVICES"), "SIM Drive A;SIM Drive B");
    EXPECT_EQ(host.feedList("rondel:FORMATS"),
              "1: MPEG Layer-3 [.mp3] - 112 kbit/s;2: Ogg Vorbis [.ogg] - 112 kbit/s");
    auto servers = host.feedList("rondel:SERVERS");
    ASSERT_TRUE(servers.has_value());
    EXPECT_EQ(std::count(servers->begin(), servers->end(), ';'), 12);
    EXPECT_EQ(servers->rfind("gnudb.gnudb.org;", 0), 0u);
    EXPECT_EQ(itemText(*session, "Freedb Server"), "gnudb.gnudb.org");
    for (const char* other : {"RONDEL:DEVICES", "rondel:devices", "rondel:DEVICE", "rondel:DEVICES ",
                              "", "rondel:FORMATSX"})
      EXPECT_FALSE(host.feedList(other).has_value()) << other;
    // Every lend was reported to the host and taken back.
    EXPECT_GT(host.lentCount(host.services(qom::kServiceTextFeed)[0].factory), 0);
  }
  {
    HostFixture fixture({});
    auto session = fixture.start();
    EXPECT_EQ(session->host().feedList("rondel:DEVICES"), "");
    // With no drive, host ready leaves "Device" as it was.
    EXPECT_EQ(itemText(*session, "Device"), "");
  }
}

TEST(ComponentLifecycle, WindowCreatorsAnswerOnlyTheirOwnRequests) {
  HostFixture fixture({"SIM Drive A"});
  auto session = fixture.start();
  qomhost::HostCore& host = session->host();

  EXPECT_FALSE(host.createWindowByGuid(kConfigParent));
  EXPECT_FALSE(host.createWindowByGuid(qom::kNullGuid));
  EXPECT_FALSE(host.createWindowOfType("buck", 1));
  for (const char* type : {"Buck", "BUCK", "buc", "", static_cast<const char*>(nullptr)})
    EXPECT_FALSE(host.createWindowOfType(type, 0)) << (type != nullptr ? type : "(null)");

  auto main = host.createWindowByGuid(kRondelGuid);
  ASSERT_TRUE(main);
  auto second = host.createWindowByGuid(kRondelGuid);
  ASSERT_TRUE(second);
  EXPECT_EQ(main.factory, second.factory);
  auto icon = host.createWindowOfType("buck", 0);
  ASSERT_TRUE(icon);
  EXPECT_NE(icon.factory, main.factory);

  // A creator deletes only windows it issued.
  EXPECT_FALSE(host.destroyWindow({icon.window, main.factory}));
  EXPECT_TRUE(host.destroyWindow(second));
  EXPECT_TRUE(host.destroyWindow(main));
  EXPECT_TRUE(host.destroyWindow(icon));
}

TEST(ComponentLifecycle, LauncherIconShowsItsImagesAndTogglesTheWindow) {
  HostFixture fixture({"SIM Drive A"});
  auto session = fixture.start();
  qomhost::HostCore& host = session->host();
  RecordingParent bar;
  auto created = host.createWindowOfType("buck", 0, &bar);
  ASSERT_TRUE(created);
  auto* icon = static_cast<qom::ui::IconButton*>(created.window);

  EXPECT_EQ(icon->imageGroup(), "Pellam icons");
  for (const auto& image : {icon->normalImage(), icon->highlightedImage(), icon->activatedImage()}) {
    // PNG signature, then IHDR: 33 x 33, 8 bits, colour type 6 (RGBA).
    ASSERT_GT(image.size(), 33u);
    EXPECT_EQ(std::memcmp(image.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    EXPECT_EQ(std::memcmp(image.data() + 12, "IHDR", 4), 0);
    EXPECT_EQ(image[16 + 3], 33);
    EXPECT_EQ(image[20 + 3], 33);
    EXPECT_EQ(image[24], 8);
    EXPECT_EQ(image[25], 6);
  }
  EXPECT_NE(icon->normalImage(), icon->activatedImage());
  EXPECT_NE(icon->normalImage(), icon->highlightedImage());

  icon->onEnterArea();
  icon->onLeaveArea();
  ASSERT_EQ(bar.notes.size(), 2u);
  EXPECT_EQ(bar.notes[0].code, 17000);
  EXPECT_EQ(bar.notes[0].text, "Rondel");
  EXPECT_EQ(bar.notes[1].code, 17000);
  EXPECT_EQ(bar.notes[1].a, 0);

  const std::size_t before = host.messageLog().size();
  EXPECT_FALSE(icon->activated());
  icon->onLeftPush();
  EXPECT_TRUE(icon->activated());
  EXPECT_TRUE(host.isWindowShown(kRondelGuid));
  EXPECT_EQ(bar.notes.back().code, 10000);  // the button's own click first
  icon->onLeftPush();
  EXPECT_FALSE(icon->activated());
  EXPECT_EQ(tail(host.messageLog(), before), (std::vector<int>{4252, 4252}));

  icon->onWindowShown(kRondelGuid, true);
  EXPECT_TRUE(icon->activated());
  icon->onWindowShown(kConfigParent, false);
  EXPECT_TRUE(icon->activated());
  EXPECT_TRUE(host.destroyWindow(created));
}

TEST(ComponentLifecycle, DeviceChangeSelectsTheNamedDriveInTheMainWindow) {
  // The drives tell themselves apart by their discs: 1, 2 and 3 tracks.
  // They report ready all the time; only a change of drive makes the next
  // tick read the other disc.
  using testing_support::simDrive;
  MainWindowFixture f(testing_support::drives(
      {simDrive("SIM Drive A", R"([{"sectors": 4500}])"),
       simDrive("SIM Drive B", testing_support::kTwoTracks),
       simDrive("SIM Drive B", testing_support::kThreeTracks),
       simDrive("Empty", testing_support::kTwoTracks, R"("disc": false)")}));

  // Without a window the callback has nothing to do.
  ASSERT_TRUE(f.setDevice("SIM Drive B"));
  ASSERT_TRUE(f.showAndTick());
  EXPECT_EQ(f.list().rowCount(), 2);
  // The drive library tells the two "SIM Drive B" apart.
  ASSERT_TRUE(f.setDevice("SIM Drive B (2)"));
  ASSERT_TRUE(f.tick());
  EXPECT_EQ(f.list().rowCount(), 3);

  ASSERT_TRUE(f.setDevice("SIM Drive A"));
  ASSERT_TRUE(f.tick());
  EXPECT_EQ(f.list().rowCount(), 1);
  EXPECT_EQ(f.status().text(), "Ready");
  // Names are compared exactly; an unknown one keeps the drive, whose disc
  // is not read again.
  f.list().setCell(0, 2, "Kept");
  for (const char* other : {"sim drive b", "Gone Drive", ""}) {
    ASSERT_TRUE(f.setDevice(other));
    ASSERT_TRUE(f.tick());
    EXPECT_EQ(f.list().cell(0, 2), "Kept") << other;
  }
  ASSERT_TRUE(f.setDevice("Empty"));
  ASSERT_TRUE(f.tick());
  EXPECT_EQ(f.status().text(), "No Disc");
  EXPECT_EQ(f.list().rowCount(), 0);
  EXPECT_EQ(f.session().host().feedList("rondel:DEVICES"),
            "SIM Drive A;SIM Drive B;SIM Drive B (2);Empty");
  ASSERT_TRUE(f.setDevice("Gone Drive"));
  f.hide();

  // A new window starts on drive 0 when "Device" names no drive.
  ASSERT_TRUE(f.showAndTick());
  EXPECT_EQ(f.list().rowCount(), 1);
}

TEST(ComponentLifecycle, SettingsSurviveARestartAndADamagedFileIsSetAside) {
  HostFixture fixture({"SIM Drive A", "SIM Drive B"});
  {
    auto session = fixture.start();
    ASSERT_TRUE(session->findItem("Format")->setText("2: Ogg Vorbis [.ogg] - 112 kbit/s"));
    ASSERT_TRUE(session->findItem("Eject")->setText("1"));
    ASSERT_TRUE(session->findItem("Output Folder")->setText("C:\\M\xfcsik"));  // Windows-1252
    ASSERT_TRUE(session->findItem("Device")->setText("SIM Drive B"));
  }
  const std::string file = fixture.configFolder() + "/config.json";
  const std::string saved = testing_support::readFile(file);
  EXPECT_NE(saved.find("C:\\\\M\xc3\xbcsik"), std::string::npos) << saved;  // UTF-8 on disk
  {
    auto session = fixture.start();
    EXPECT_EQ(itemText(*session, "Format"), "2: Ogg Vorbis [.ogg] - 112 kbit/s");
    EXPECT_EQ(itemText(*session, "Eject"), "1");
    EXPECT_EQ(itemText(*session, "Output Folder"), "C:\\M\xfcsik");
    EXPECT_EQ(itemText(*session, "Device"), "SIM Drive B");  // not reset by host ready
    EXPECT_EQ(itemText(*session, "Use Freedb"), "1");
  }

  const std::string damaged = "{\"format\": 1, \"groups\": {\"x\": [1, 2";
  { std::ofstream(file, std::ios::binary) << damaged; }
  testing::internal::CaptureStderr();
  {
    auto session = fixture.start();
    EXPECT_EQ(itemText(*session, "Format"), "1: MPEG Layer-3 [.mp3] - 112 kbit/s");
    EXPECT_EQ(itemText(*session, "Eject"), "0");
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("damaged"), std::string::npos) << err;
  std::vector<std::string> aside;
  for (const auto& entry : std::filesystem::directory_iterator(fixture.configFolder()))
    if (entry.path().filename().string().rfind("config.json.corrupt-", 0) == 0)
      aside.push_back(entry.path().string());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(testing_support::readFile(aside[0]), damaged);  // kept, never overwritten
  // Host ready chose a device again, which was saved to a fresh, valid file.
  EXPECT_NE(testing_support::readFile(file).find("SIM Drive A"), std::string::npos);
}

TEST(ComponentLifecycle, HostCarriesOutPreferencesOpenForAComponent) {
  HostFixture fixture({});
  auto session = fixture.start();
  qomhost::HostCore& host = session->host();
  std::string opened;
  host.setOpenPreferencesHandler([&](const std::string& guid) { opened = guid; });

  // Found the way the toolkit finds it: through the host API by type and name.
  qom::HostApi& api = host;
  EXPECT_EQ(api.serviceFind(qom::kServiceAction, "Preferences:open"), nullptr);
  qom::ServiceFactory* factory = api.serviceFind(qom::kServiceAction, "Preferences:OPEN");
  ASSERT_NE(factory, nullptr);
  auto* action = static_cast<qom::ActionService*>(factory->getInterface());
  ASSERT_NE(action, nullptr);
  const std::string guid = kRondelGuid.toString();
  EXPECT_EQ(guid, "{DAC1B44B-F86A-4150-A6B4-DE7A638702F7}");
  EXPECT_EQ(action->run("Preferences:OPEN", guid.c_str()), 1);
  factory->releaseInterface(action);
  EXPECT_EQ(opened, guid);
  EXPECT_EQ(host.preferencesRequests(), std::vector<std::string>{guid});
}

TEST(ComponentLifecycleDeathTest, MainWindowCreatorChecksItsCount) {
#if !defined(QOM_ASSERT_FATAL)
  GTEST_SKIP() << "debug checks are not fatal in this build";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Destroying a main window when none is out.
  EXPECT_DEATH(
      {
        HostFixture fixture({"SIM Drive A"});
        auto session = fixture.start();
        auto icon = session->host().createWindowOfType("buck", 0);
        auto mainFactory = session->host().services(qom::kServiceWindowCreator)[0].factory;
        session->host().destroyWindow({icon.window, mainFactory});
      },
      "issued >= 1");
  // Shutting down while a main window is still out.
  EXPECT_DEATH(
      {
        HostFixture fixture({"SIM Drive A"});
        auto session = fixture.start();
        session->host().createWindowByGuid(kRondelGuid);
        session.reset();
      },
      "issued == 0");
#endif
}
