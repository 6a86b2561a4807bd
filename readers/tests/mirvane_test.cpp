#include "mirvane.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/dialogs.h"
#include "platform/memory.h"
#include "test_file.h"

namespace {

using readers_test::pattern;
using readers_test::TempFolder;

// Records every box instead of showing it.
class RecordedBoxes {
 public:
  RecordedBoxes()
      : scope_([this](const platform::MessageBoxRequest& request) {
          shown.push_back(request);
          return platform::kIdOk;
        }) {}
  std::vector<platform::MessageBoxRequest> shown;

 private:
  platform::ScopedMessageBoxHandler scope_;
};

std::vector<uint8_t> take_block(void* block, size_t expected_size) {
  EXPECT_TRUE(platform::block_is_live(block));
  EXPECT_EQ(platform::block_size(block), expected_size);
  const auto* bytes = static_cast<const uint8_t*>(block);
  std::vector<uint8_t> copy(bytes, bytes + expected_size);
  EXPECT_TRUE(platform::block_free(block));
  return copy;
}

TEST(GetPlayData, ReadsFromTheStartOfTheFile) {
  TempFolder folder;
  const std::string file = folder.write("voice.raw", pattern(5000));
  RecordedBoxes boxes;
  void* block = nullptr;
  ASSERT_EQ(GetPlayData(file.c_str(), &block, 3000), 3000);
  EXPECT_EQ(take_block(block, 3000), pattern(3000));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(GetPlayData, ShortFileGivesTheSmallerCountAndZerosBehind) {
  TempFolder folder;
  const std::string file = folder.write("voice.raw", pattern(700));
  void* block = nullptr;
  ASSERT_EQ(GetPlayData(file.c_str(), &block, 1024), 700);
  std::vector<uint8_t> expected = pattern(700);
  expected.resize(1024, 0);
  EXPECT_EQ(take_block(block, 1024), expected);
}

TEST(GetPlayData2, ReadsFromTheGivenOffset) {
  TempFolder folder;
  const std::string file = folder.write("voice.raw", pattern(5000));
  void* block = nullptr;
  ASSERT_EQ(GetPlayData2(file.c_str(), &block, 1234, 2000), 2000);
  const std::vector<uint8_t> all = pattern(5000);
  EXPECT_EQ(take_block(block, 2000), std::vector<uint8_t>(all.begin() + 1234, all.begin() + 3234));

  ASSERT_EQ(GetPlayData2(file.c_str(), &block, 4500, 2000), 500);
  const std::vector<uint8_t> tail = take_block(block, 2000);
  EXPECT_EQ(std::vector<uint8_t>(tail.begin(), tail.begin() + 500),
            std::vector<uint8_t>(all.begin() + 4500, all.end()));
  EXPECT_EQ(std::vector<uint8_t>(tail.begin() + 500, tail.end()), std::vector<uint8_t>(1500, 0));
}

TEST(GetPlayData2, BeyondTheEndGivesZeroAndAnAllZeroBlock) {
  TempFolder folder;
  const std::string file = folder.write("voice.raw", pattern(100));
  RecordedBoxes boxes;
  void* block = nullptr;
  ASSERT_EQ(GetPlayData2(file.c_str(), &block, 5000, 256), 0);
  EXPECT_EQ(take_block(block, 256), std::vector<uint8_t>(256, 0));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(GetPlayData_MissingFile, BothExportsShowTheGetPlayDataBoxAndLeaveNoBlock) {
  TempFolder folder;
  const std::string missing = folder.path() + "/missing.raw";
  RecordedBoxes boxes;
  const size_t live = platform::live_block_count();
  void* const untouched = reinterpret_cast<void*>(0x5678);
  void* block = untouched;

  EXPECT_EQ(GetPlayData(missing.c_str(), &block, 100), 0);
  EXPECT_EQ(GetPlayData2(missing.c_str(), &block, 10, 100), 0);
  EXPECT_EQ(GetPlayData2(folder.path().c_str(), &block, 0, 100), 0);  // a directory

  ASSERT_EQ(boxes.shown.size(), 3u);
  for (const platform::MessageBoxRequest& box : boxes.shown) {
    EXPECT_EQ(box.text, "OpenFileError");
    EXPECT_EQ(box.title, "GetPlayData");
    EXPECT_EQ(box.style, platform::kMbOk);
    EXPECT_EQ(box.owner, 0u);
  }
  EXPECT_EQ(block, untouched);
  EXPECT_EQ(platform::live_block_count(), live);
}

TEST(GetPlayData_Refused, BadArgumentsGiveZeroWithoutBoxOrBlock) {
  TempFolder folder;
  const std::string file = folder.write("voice.raw", pattern(100));
  RecordedBoxes boxes;
  const size_t live = platform::live_block_count();
  void* const untouched = reinterpret_cast<void*>(0x5678);
  void* block = untouched;

  EXPECT_EQ(GetPlayData(file.c_str(), &block, -1), 0);
  EXPECT_EQ(GetPlayData2(file.c_str(), &block, -10, 50), 0);
  EXPECT_EQ(GetPlayData(file.c_str(), nullptr, 50), 0);

  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(block, untouched);
  EXPECT_EQ(platform::live_block_count(), live);
}

}  // namespace
