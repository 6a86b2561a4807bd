// The WAV writer behind the decoding: blocks at their places, failures told.
#include "background_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "calendo/io.h"
#include "tool_support.h"

namespace calendo::tool {
namespace {

TEST(BackgroundWriter, BlocksFollowTheHeaderInTurnAndTheSizeIsWhatWasWritten) {
  testkit::TempDir dir;
  const std::string path = dir.file("out.wav").string();
  Result<UniqueFd> fd = open_fd(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC);
  ASSERT_TRUE(fd.ok());
  const std::vector<uint8_t> header(44, 'H');
  ASSERT_TRUE(write_all(fd->get(), header).ok());

  // Blocks of differing lengths, each refilled only once the next write has
  // taken over, as the decoder's buffers are.
  std::vector<uint8_t> blocks[2];
  std::vector<uint8_t> expected = header;
  {
    BackgroundWriter writer(fd->get(), header.size());
    for (int b = 0; b < 6; ++b) {
      std::vector<uint8_t>& block = blocks[b % 2];
      // One spans several of the pieces the writer writes at a time.
      block.resize(b == 3 ? (5 << 20) + 3 : 100000 + 777 * b);
      std::iota(block.begin(), block.end(), static_cast<uint8_t>(b * 13));
      expected.insert(expected.end(), block.begin(), block.end());
      ASSERT_TRUE(writer.write(block));
    }
    EXPECT_TRUE(writer.finish().ok());
    EXPECT_EQ(writer.offset(), expected.size());
  }
  ASSERT_TRUE(fd->close().ok());
  EXPECT_EQ(tooltest::ReadFile(path), std::string(expected.begin(), expected.end()));
}

TEST(BackgroundWriter, AFailedWriteStopsTheRestAndTellsWhereAndWhy) {
  testkit::TempDir dir;
  const std::string path = dir.file("read-only.wav").string();
  ASSERT_TRUE(open_fd(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC).ok());
  Result<UniqueFd> fd = open_fd(path.c_str(), O_RDONLY);
  ASSERT_TRUE(fd.ok());
  const std::vector<uint8_t> block(5000, 7);
  BackgroundWriter writer(fd->get(), 44);
  EXPECT_TRUE(writer.write(block));  // the failure shows at the next call
  EXPECT_FALSE(writer.write(block));
  const Status finished = writer.finish();
  ASSERT_FALSE(finished.ok());
  EXPECT_EQ(finished.fault().failure, Failure::CannotWrite);
  EXPECT_EQ(finished.fault().offset, 44u);
  EXPECT_EQ(finished.fault().system_error, EBADF);
  EXPECT_EQ(tooltest::ReadFile(path), "");
}

// A flush that fails fails the file even though every byte was taken: the
// system reports a lost write-back once, to whoever flushes first.
TEST(BackgroundWriter, AFailedFlushFailsTheFileAtTheBlockItFollows) {
  // Writing to /dev/null succeeds; flushing it is refused.
  Result<UniqueFd> fd = open_fd("/dev/null", O_WRONLY);
  ASSERT_TRUE(fd.ok());
  const std::vector<uint8_t> block(5000, 7);
  BackgroundWriter writer(fd->get(), 44);
  EXPECT_TRUE(writer.write(block));
  EXPECT_FALSE(writer.write(block));
  const Status finished = writer.finish();
  ASSERT_FALSE(finished.ok());
  EXPECT_EQ(finished.fault().failure, Failure::CannotWrite);
  EXPECT_EQ(finished.fault().offset, 44u);
  EXPECT_EQ(finished.fault().system_error, EINVAL);
}

}  // namespace
}  // namespace calendo::tool
