// The debug log, switched on: a lookup request that fails and a reader
// retry each leave their line, every line stays one bounded line, and
// nothing is written once it is off again.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/debug_log.h"
#include "platform/thread_queue.h"
#include "rondel/metadata/lookup_thread.h"
#include "rondel/net/http_get_request.h"
#include "rondel/rip/audio_reader.h"
#include "sim_disc.h"
#include "support/background_process.h"

namespace {

TEST(DebugLog, FailedLookupAndReaderRetryLeaveTheirLines_EachLineBounded) {
  const testing_support::TempDir dir;
  const std::string path = dir.file("debug.log");
  platform::setDebugLogTarget(path.c_str());

  // A refused connection (a port nothing listens on); the password of the
  // server setting stays out.
  const int port = testing_support::freeTcpPort();
  ASSERT_GT(port, 0);
  const std::string where = "127.0.0.1:" + std::to_string(port) + "/~cddb/cddb.cgi?cmd=x";
  rondel::HttpGetRequest request(nullptr, 16384, nullptr);
  rondel::FetchLimits limits;
  limits.connect = std::chrono::seconds(5);
  EXPECT_EQ(rondel::fetchText(request, "http://user:secret@" + where, limits, [] { return false; }),
            "");

  // Two failed reads of the block holding sector 5, then the third reads it.
  {
    rip_test::SimDisc disc(R"("tracks": [{"sectors": 30}],)"
                           R"( "read_failures": [{"sector": 5, "attempts": 2}])");
    ASSERT_TRUE(disc.ready());
    platform::ThreadMessageQueue queue;
    rondel::AudioReader reader(*rondel::driveAt(0));
    ASSERT_TRUE(reader.InitCDDA(2 * 12 * rip_test::kSector, 12, false));
    ASSERT_TRUE(reader.BeginCDDA(0, 12, 0x8000));
    auto* block = reinterpret_cast<rondel::AudioBlock*>(queue.get(0x8000, 0x8000).wParam);
    EXPECT_FALSE(block->error);
    reader.releaseBlock(block);
    reader.EndCDDA();
  }

  // Outside text with a line break, longer than a line.
  platform::debugLog("test", "%s\n%s", std::string(3000, 'x').c_str(), "forged line");
  platform::setDebugLogTarget(nullptr);
  EXPECT_FALSE(platform::debugLogEnabled());
  platform::debugLog("test", "written while off");

  const std::string log = testing_support::readFile(path);
  const auto logHas = [&](const std::string& text) { return log.find(text) != std::string::npos; };
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  EXPECT_TRUE(logHas(" rondel: lookup: GET http://***@" + where + " failed: " +
                     rondel::NetConnection::kErrorConnecting));
  EXPECT_FALSE(logHas("secret"));
  EXPECT_TRUE(logHas("reader: read of 12 sectors at sector 0 failed, attempt 1 of 5"));
  EXPECT_TRUE(logHas("reader: read of 12 sectors at sector 0 failed, attempt 2 of 5"));
  EXPECT_FALSE(logHas("attempt 3 of 5"));
  ASSERT_FALSE(lines.empty());
  EXPECT_LT(lines.back().size(), platform::kDebugLineBytes);
  EXPECT_EQ(lines.back().substr(lines.back().size() - 3), "...");
  EXPECT_EQ(lines.back().find("forged"), std::string::npos);
  EXPECT_FALSE(logHas("written while off"));
  // Every line starts with its UTC time stamp.
  for (const std::string& line : lines)
    EXPECT_EQ(line.substr(10, 1) + line.substr(23, 2), "TZ ") << line;
}

}  // namespace
