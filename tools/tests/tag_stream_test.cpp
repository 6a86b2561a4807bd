// The stream TagLib writes tags through: its inserts and removals against a
// plain string holding what the file should hold, and failed writes
// remembered rather than dropped.
#include <gtest/gtest.h>

#include <random>

#include "tag_stream.h"
#include "tool_support.h"

namespace tooltest {
namespace {

using calendo::tool::TagStream;

TagLib::ByteVector Bytes(const std::string& text) {
  return TagLib::ByteVector(text.data(), static_cast<unsigned int>(text.size()));
}

TEST(TagStream, InsertsAndRemovesAsTagLibAsks) {
  testkit::TempDir dir;
  const auto path = dir.file("stream.bin");
  std::mt19937 random(7);
  // Longer than the stream's blocks, so that a move takes several.
  std::string model(200000, '\0');
  for (char& c : model) c = static_cast<char>('a' + random() % 26);
  testkit::write_file(path, std::vector<uint8_t>(model.begin(), model.end()));

  TagStream stream(path.string());
  ASSERT_TRUE(stream.isOpen());
  for (int step = 0; step < 60; ++step) {
    const unsigned long start = random() % (model.size() + 1);
    const unsigned long replace = random() % 3 == 0 ? 0 : random() % 100000;
    const std::string data(random() % 3 == 0 ? 0 : random() % 90000,
                           static_cast<char>('A' + step % 26));
    if (random() % 4 == 0) {
      stream.removeBlock(start, replace);
      model.erase(std::min<size_t>(start, model.size()), replace);
    } else {
      stream.insert(Bytes(data), start, replace);
      model.replace(std::min<size_t>(start, model.size()), replace, data);
    }
    ASSERT_EQ(stream.length(), static_cast<long>(model.size())) << "step " << step;
  }
  stream.seek(0);
  const TagLib::ByteVector whole = stream.readBlock(static_cast<unsigned long>(model.size()) + 10);
  EXPECT_EQ(std::string(whole.data(), whole.size()), model);
  EXPECT_FALSE(stream.failed());
  EXPECT_TRUE(stream.Close());
}

TEST(TagStream, ReadsSeeksAndWritesInPlace) {
  testkit::TempDir dir;
  const auto path = dir.file("stream.bin");
  const std::string text = "0123456789";
  testkit::write_file(path, std::vector<uint8_t>(text.begin(), text.end()));
  TagStream stream(path.string());
  stream.seek(-4, TagLib::IOStream::End);
  EXPECT_EQ(stream.tell(), 6);
  stream.writeBlock(Bytes("xy"));
  stream.seek(-3, TagLib::IOStream::Current);
  EXPECT_EQ(std::string(stream.readBlock(3).data(), 3), "5xy");
  stream.truncate(4);
  EXPECT_EQ(stream.length(), 4);
  EXPECT_TRUE(stream.Close());
  EXPECT_EQ(ReadFile(path), "0123");
}

TEST(TagStream, RemembersAWriteThatFailed) {
  // Every write to /dev/full fails as on a full disk.
  TagStream full("/dev/full");
  ASSERT_TRUE(full.isOpen());
  full.insert(Bytes("tags"), 0, 0);
  EXPECT_TRUE(full.failed());
  EXPECT_FALSE(full.Close());

  TagStream missing("/nonexistent/file.flac");
  EXPECT_FALSE(missing.isOpen());
  EXPECT_TRUE(missing.readBlock(10).isEmpty());
}

}  // namespace
}  // namespace tooltest
