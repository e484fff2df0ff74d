// NameResolver with a look-up the test holds back, so running entries stay
// running exactly as long as the test wants (the system's look-up runs in
// NetConnection.ConnectsByNameThroughTheSystemResolver_EmptyNameFailsAtOnce).
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "rondel/net/name_resolver.h"

namespace rondel {
namespace {

using namespace std::chrono_literals;

// Look-ups block until released; "bad..." names fail, others give 10.0.0.1.
class HeldLookup {
 public:
  NameResolver::LookupFunction function() {
    return [this](const std::string& name) {
      std::unique_lock<std::mutex> lock(mutex_);
      names_.push_back(name);
      // Bounded so a failing test cannot hang the suite.
      changed_.wait_for(lock, 20s, [&] { return released_; });
      return name.rfind("bad", 0) == 0 ? std::uint32_t{INADDR_NONE} : ::inet_addr("10.0.0.1");
    };
  }
  void release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  std::vector<std::string> names() {
    std::lock_guard<std::mutex> lock(mutex_);
    return names_;
  }

 private:
  std::mutex mutex_;  // guards everything below (worker and test thread)
  std::condition_variable changed_;
  bool released_ = false;
  std::vector<std::string> names_;
};

// Resolves until the answer is final (0 or -1).
int resolveFinally(NameResolver& r, const std::string& name, std::uint32_t* address) {
  for (int i = 0; i < 1000; ++i) {
    const int result = r.resolve(name, address);
    if (result != 1) return result;
    r.waitForName(name, 100ms);
  }
  return 1;
}

TEST(NameResolver, SharesEntriesAcrossLetterCase_WaitsToItsBound) {
  HeldLookup held;
  NameResolver r(8, held.function());
  std::uint32_t address = 0;
  EXPECT_EQ(r.resolve("Freedb.Example.ORG", &address), 1);
  EXPECT_EQ(r.resolve("freedb.example.org", &address), 1);
  // A wait ends at its bound while the look-up runs, and at its end once not.
  EXPECT_FALSE(r.waitForName("freedb.example.org", 20ms));
  held.release();
  EXPECT_TRUE(r.waitForName("freedb.example.org", 20s));
  EXPECT_EQ(resolveFinally(r, "FREEDB.example.org", &address), 0);
  EXPECT_EQ(address, ::inet_addr("10.0.0.1"));
  EXPECT_EQ(held.names(), std::vector<std::string>{"Freedb.Example.ORG"});

  EXPECT_EQ(resolveFinally(r, "bad.example", &address), -1);
  // A failed name stays failed without another look-up.
  EXPECT_EQ(r.resolve("BAD.example", &address), -1);
  EXPECT_EQ(held.names().size(), 2u);
  // Dotted addresses never reach the table.
  EXPECT_EQ(r.resolve("127.0.0.1", &address), 0);
  EXPECT_EQ(address, htonl(INADDR_LOOPBACK));
}

TEST(NameResolver, RefusesWhenEveryEntryRunsThenReusesTheOldest) {
  HeldLookup held;
  NameResolver r(NameResolver::kDefaultCapacity, held.function());
  std::uint32_t address = 0;
  for (int i = 0; i < 64; ++i) ASSERT_EQ(r.resolve("host" + std::to_string(i), &address), 1) << i;
  EXPECT_EQ(r.resolve("host64", &address), -1);
  EXPECT_EQ(r.workersStarted(), 1);

  held.release();
  EXPECT_EQ(resolveFinally(r, "host63", &address), 0);
  // Every entry has finished: a new name takes a finished one's slot.
  EXPECT_EQ(resolveFinally(r, "host64", &address), 0);
  EXPECT_EQ(held.names().size(), 65u);
}

}  // namespace
}  // namespace rondel
