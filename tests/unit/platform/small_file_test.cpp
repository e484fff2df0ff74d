#include "platform/small_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

TEST(SmallFile, ReadsRegularFilesUpToTheCapAndRefusesFifosFoldersAndMissingFilesAtOnce) {
  testing_support::TempDir dir;
  const std::string file = dir.write("f", std::string(2048, 'x'));
  EXPECT_EQ(platform::readSmallFile(file, 2048).text.size(), 2048u);
  EXPECT_TRUE(platform::regularFileProblem(file).empty());
  const platform::SmallFile big = platform::readSmallFile(file, 1024);
  EXPECT_FALSE(big.ok);
  EXPECT_TRUE(big.text.empty());
  EXPECT_EQ(big.problem, "is larger than 1 KiB");
  EXPECT_TRUE(big.tooLarge);
  EXPECT_EQ(platform::readSmallFile(file, 2000).problem, "is larger than 2000 bytes");

  // A FIFO with no writer would block a plain open for ever.
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(platform::readSmallFile(fifo, 1024).problem, "is not a regular file");
  EXPECT_EQ(platform::regularFileProblem(dir.path()), "is not a regular file");
  EXPECT_EQ(platform::readSmallFile(dir.file("none"), 1024).problem,
            "cannot be opened: No such file or directory");
}

}  // namespace
