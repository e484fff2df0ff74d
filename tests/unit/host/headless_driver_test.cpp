// The headless window-thread loop: events from other threads arrive on the
// window thread in order, a destroyed window's events are dropped, timers
// tick by hand and in real time.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "host/view/headless_driver.h"
#include "sdk/ui/container.h"
#include "sdk/ui/drop_down.h"
#include "sdk/ui/list_view.h"

namespace {
using namespace qom::ui;

class Parent : public Container {
 public:
  int onChildNotify(Window*, int code, std::intptr_t, std::intptr_t) override {
    onWindowThread.push_back(loop()->isWindowThread());
    codes.push_back(code);
    return 0;
  }
  void onTimer(int id) override { ticks.push_back(id); }
  std::vector<bool> onWindowThread;
  std::vector<int> codes;
  std::vector<int> ticks;
};

class Picks : public DropDown {
 public:
  using DropDown::DropDown;
  std::vector<int> picks;
  std::vector<bool> onWindowThread;

 protected:
  void onPick(int id) override {
    picks.push_back(id);
    onWindowThread.push_back(loop()->isWindowThread());
  }
};

TEST(HeadlessDriver, EventsFromOtherThreadsArriveOnTheWindowThreadInOrder) {
  qomhost::HeadlessDriver driver;
  Parent root;
  root.setLoop(&driver);
  ListView list(&root);
  Picks drop(&root);
  for (int i = 0; i < 3; ++i) list.addRow("r", i);
  drop.addItem("a");
  drop.addItem("b");

  std::thread worker([&] {
    list.selectOnly(2);
    drop.selectItem(1);
    list.clearSelection();
  });
  worker.join();
  // Nothing ran on the worker; the model state changed at once.
  EXPECT_TRUE(root.codes.empty());
  EXPECT_EQ(drop.selectedId(), 1);
  EXPECT_EQ(driver.runPending(), 3);
  EXPECT_EQ(root.codes, (std::vector<int>{kNotifySelectionChanged, kNotifySelectionChanged}));
  EXPECT_EQ(root.onWindowThread, (std::vector<bool>{true, true}));
  EXPECT_EQ(drop.picks, (std::vector<int>{1}));
  EXPECT_EQ(drop.onWindowThread, (std::vector<bool>{true}));

  // On the window thread the same calls notify at once.
  list.selectOnly(0);
  EXPECT_EQ(root.codes.size(), 3u);
  EXPECT_EQ(driver.runPending(), 0);
}

TEST(HeadlessDriver, ADestroyedWindowsPendingEventsAndTimersAreDropped) {
  qomhost::HeadlessDriver driver;
  Parent root;
  root.setLoop(&driver);
  auto list = std::make_unique<ListView>(&root);
  list->addRow("r", 1);
  std::thread([&] { list->selectOnly(0); }).join();
  list.reset();
  EXPECT_EQ(driver.runPending(), 0);
  EXPECT_TRUE(root.codes.empty());

  {
    Container timed(&root);
    timed.startTimer(1, 500);
    EXPECT_EQ(driver.timerPeriod(&timed, 1), 500);
  }
  root.startTimer(7, 500);
  EXPECT_TRUE(driver.fireTimer(&root, 7));
  EXPECT_FALSE(driver.fireTimer(&root, 8));
  EXPECT_EQ(root.ticks, (std::vector<int>{7}));
  root.stopTimer(7);
  EXPECT_FALSE(driver.fireTimer(&root, 7));
}

TEST(HeadlessDriver, RunUntilTicksTimersInRealTimeAndWakesOnPosts) {
  qomhost::HeadlessDriver driver;
  Parent root;
  root.setLoop(&driver);
  root.startTimer(1, 5);
  EXPECT_TRUE(driver.runUntil([&] { return root.ticks.size() >= 3; }, std::chrono::seconds(30)));
  root.stopTimer(1);

  std::atomic<bool> posted{false};
  std::thread worker([&] { driver.post(&root, [&] { posted = true; }); });
  EXPECT_TRUE(driver.runUntil([&] { return posted.load(); }, std::chrono::seconds(30)));
  worker.join();
  EXPECT_FALSE(driver.runUntil([] { return false; }, std::chrono::milliseconds(1)));
}

}  // namespace
