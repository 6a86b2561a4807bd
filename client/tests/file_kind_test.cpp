// The file-kind rules: the last three characters of a name, two cases only;
// and the container's magic bytes, whatever the name.
#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "calendo/client/file_kind.h"
#include "testing/recorder_writer.h"

namespace calendo {
namespace {

TEST(RecorderKindOfName, LooksAtTheLastThreeCharactersInOneCase) {
  EXPECT_EQ(RecorderKindOfName("a.vqr"), kKindVqr);
  EXPECT_EQ(RecorderKindOfName("a.VQR"), kKindVqr);
  EXPECT_EQ(RecorderKindOfName("a.vqm"), kKindVqm);
  EXPECT_EQ(RecorderKindOfName("a.VQM"), kKindVqm);
  EXPECT_EQ(RecorderKindOfName("a.Vqr"), kKindNone);
  EXPECT_EQ(RecorderKindOfName("a.wav"), kKindNone);
  EXPECT_EQ(RecorderKindOfName("talkvqm"), kKindVqm);  // no dot needed
  EXPECT_EQ(RecorderKindOfName("qr"), kKindNone);
  EXPECT_EQ(RecorderKindOfName(""), kKindNone);
}

TEST(FileKindOf, FollowsThePlayersRule) {
  EXPECT_EQ(FileKindOfName("a.vqr"), 0);
  EXPECT_EQ(FileKindOfName("a.VQR"), 0);
  EXPECT_EQ(FileKindOfName("a.Vqr"), 1);
  EXPECT_EQ(FileKindOfName("a.vqm"), 1);
  EXPECT_EQ(FileKindOfName("vqr"), 0);
  EXPECT_EQ(FileKindOfName("qr"), 1);
}

TEST(RecorderKindOfContent, GoesByTheMagicWhateverTheName) {
  using namespace std::string_literals;
  testkit::TempDir dir;
  auto write = [&](const std::string& name, const std::string& bytes) {
    testkit::write_file(dir.file(name), std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return dir.file(name).string();
  };
  EXPECT_EQ(RecorderKindOfContent(write("Memo.Vqr", "OIFF\x10\0\0\0WAVEfmt "s).c_str()), kKindVqr);
  EXPECT_EQ(RecorderKindOfContent(write("noname", "VQ_VOICE"s).c_str()),
            kKindVqm);  // 8 bytes suffice
  EXPECT_EQ(RecorderKindOfContent(write("a.vqr", "RIFF\x10\0\0\0WAVEfmt "s).c_str()), kKindNone);
  EXPECT_EQ(RecorderKindOfContent(write("short.vqr", "OIFF\x10\0\0\0WAV"s).c_str()), kKindNone);
  EXPECT_EQ(RecorderKindOfContent(write("empty", ""s).c_str()), kKindNone);
  EXPECT_EQ(RecorderKindOfContent(dir.file("absent").c_str()), kKindNone);
  EXPECT_EQ(RecorderKindOfContent(dir.path().c_str()), kKindNone);
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  EXPECT_EQ(RecorderKindOfContent(dir.file("fifo").c_str()), kKindNone);  // returns at once
}

}  // namespace
}  // namespace calendo
