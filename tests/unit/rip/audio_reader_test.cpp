// The audio reader on its own, against simulated drives: the ring, the
// hand-over of blocks through the thread message queue, back-pressure when
// every block is out, and stopping.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <vector>

#include "platform/thread_queue.h"
#include "rondel/rip/audio_reader.h"
#include "sim_disc.h"

namespace {

using rip_test::kSector;
using rip_test::SimDisc;
constexpr std::uint32_t kMessage = 0x8000;

rondel::AudioBlock* nextBlock(platform::ThreadMessageQueue& queue) {
  return reinterpret_cast<rondel::AudioBlock*>(queue.get(kMessage, kMessage).wParam);
}

// Waits for `done` with a generous bound; false if it did not come.
bool endsWithin(std::future<void>& done, std::chrono::seconds bound = std::chrono::seconds(20)) {
  return done.wait_for(bound) == std::future_status::ready;
}

TEST(AudioReader, InitCDDA_RingSizes_AndABlockTooLargeForTheDriveLeavesNothing) {
  SimDisc disc(R"("tracks": [{"sectors": 1000}])");
  ASSERT_TRUE(disc.ready());
  {
    rondel::AudioReader reader(*rondel::driveAt(0));
    ASSERT_TRUE(reader.InitCDDA(524288, 12, false));
    EXPECT_EQ(reader.blockCount(), 18u);
    EXPECT_FALSE(reader.InitCDDA(524288, 12, false)) << "a ring is already built";
    reader.EndCDDA();
    EXPECT_EQ(reader.blockCount(), 0u);
    ASSERT_TRUE(reader.InitCDDA(1000, 12, true)) << "a ring smaller than a block";
    EXPECT_EQ(reader.blockCount(), 1u);
  }
  rondel::AudioReader reader(*rondel::driveAt(0));
  // 30000 sectors a block is more than the drive library hands out at once.
  EXPECT_FALSE(reader.InitCDDA(524288, 30000, false));
  EXPECT_FALSE(reader.InitCDDA(524288, 0, false));
  EXPECT_EQ(reader.blockCount(), 0u);
  EXPECT_FALSE(reader.BeginCDDA(0, 10, kMessage)) << "no ring, no reader";
}

TEST(AudioReader, InitCDDA_DriveOutOfBuffers_GivesBackEveryBufferItTook) {
  SimDisc disc(R"("tracks": [{"sectors": 1000}])");
  ASSERT_TRUE(disc.ready());
  // Take all but 5 of the library's buffers.
  rip_test::TakenDriveBuffers taken;
  ASSERT_GT(taken.count(), 5u);
  taken.giveBack(5);
  rondel::AudioReader reader(*rondel::driveAt(0));
  EXPECT_FALSE(reader.InitCDDA(524288, 12, false));
  EXPECT_TRUE(reader.InitCDDA(5 * 12 * kSector, 12, false)) << "the 5 buffers were given back";
  EXPECT_EQ(reader.blockCount(), 5u);
  reader.EndCDDA();
}

TEST(AudioReader, AllBlocksOut_ReaderWaits_AndResumesInRingOrderWhenOneComesBack) {
  SimDisc disc(R"("tracks": [{"sectors": 100}, {"sectors": 50}], "audio": {"generator": "counter"})");
  ASSERT_TRUE(disc.ready());
  platform::ThreadMessageQueue queue;
  rondel::AudioReader reader(*rondel::driveAt(0));
  ASSERT_TRUE(reader.InitCDDA(3 * 12 * kSector, 12, false));
  ASSERT_TRUE(reader.BeginCDDA(100, 50, kMessage));

  std::vector<rondel::AudioBlock*> held;
  for (int i = 0; i < 3; ++i) held.push_back(nextBlock(queue));
  EXPECT_EQ(reader.blocksInUse(), 3u);
  std::vector<std::uint8_t> audio;
  const auto append = [&](const rondel::AudioBlock* b) {
    EXPECT_FALSE(b->error);
    audio.insert(audio.end(), b->data(), b->data() + b->dataBytes);
  };
  for (rondel::AudioBlock* b : held) append(b);
  // Each release lets exactly one more block through; the ring's blocks
  // come back in order.
  rondel::AudioBlock* first = held.front();
  reader.releaseBlock(first);
  rondel::AudioBlock* fourth = nextBlock(queue);
  EXPECT_EQ(fourth, first);
  append(fourth);
  reader.releaseBlock(held[1]);
  rondel::AudioBlock* fifth = nextBlock(queue);
  EXPECT_EQ(fifth, held[1]);
  EXPECT_TRUE(fifth->last);
  EXPECT_DOUBLE_EQ(fifth->progress, 100.0);
  EXPECT_EQ(fifth->dataBytes, 2 * kSector);
  append(fifth);
  EXPECT_EQ(audio, rip_test::counterBytes(100, 50));
  reader.StopCDDA();
  reader.EndCDDA();
}

TEST(AudioReader, StopCDDA_EndsAReaderWaitingForABlock_OrSleepingInASlowRead) {
  SimDisc disc(R"("tracks": [{"sectors": 3000}], "speed": 1)");
  ASSERT_TRUE(disc.ready());
  platform::ThreadMessageQueue queue;
  // Stops and ends the reader from another thread.
  const auto stopElsewhere = [](rondel::AudioReader& reader) {
    return std::async(std::launch::async, [&reader] {
      reader.StopCDDA();
      reader.EndCDDA();
    });
  };
  {
    // Waiting: a ring of two blocks, both held by this thread.
    rondel::AudioReader reader(*rondel::driveAt(0));
    ASSERT_TRUE(reader.InitCDDA(2 * 12 * kSector, 12, false));
    ASSERT_TRUE(reader.BeginCDDA(0, 3000, kMessage));
    nextBlock(queue);
    nextBlock(queue);
    std::future<void> done = stopElsewhere(reader);
    EXPECT_TRUE(endsWithin(done));
  }
  {
    // Sleeping: a drive at single speed takes 160 ms for a block, the track
    // 40 s; the stop ends the reader after the read under way.
    rondel::AudioReader reader(*rondel::driveAt(0));
    ASSERT_TRUE(reader.InitCDDA(524288, 12, true));
    ASSERT_TRUE(reader.BeginCDDA(0, 3000, kMessage));
    reader.releaseBlock(nextBlock(queue));
    const auto start = std::chrono::steady_clock::now();
    std::future<void> done = stopElsewhere(reader);
    EXPECT_TRUE(endsWithin(done));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20))
        << "the reader went on reading the track";
  }
}

TEST(ThreadMessageQueue, PostingNeedsAQueue_AndGetTakesOnlyTheAskedRange) {
  const platform::ThreadId self = platform::currentThreadId();
  EXPECT_FALSE(platform::postThreadMessage(self, kMessage, 1, 0));
  {
    platform::ThreadMessageQueue queue;
    EXPECT_TRUE(platform::postThreadMessage(self, 0x400, 7, 0));
    std::thread poster([self] { EXPECT_TRUE(platform::postThreadMessage(self, kMessage, 42, -1)); });
    const platform::ThreadMessage m = queue.get(kMessage, kMessage);
    poster.join();
    EXPECT_EQ(m.wParam, 42u);
    EXPECT_EQ(m.lParam, -1);
    platform::ThreadMessage other;
    ASSERT_TRUE(queue.peek(0, 0xFFFF, other));
    EXPECT_EQ(other.message, 0x400u);
    EXPECT_FALSE(queue.peek(0, 0xFFFF, other));
  }
  EXPECT_FALSE(platform::postThreadMessage(self, kMessage, 1, 0)) << "the queue went with its owner";
}

}  // namespace
