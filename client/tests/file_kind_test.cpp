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

TEST(RecorderContainerOfName, LooksAtTheLastThreeCharactersInOneCase) {
  EXPECT_EQ(RecorderContainerOfName("a.vqr"), Container::Vqr);
  EXPECT_EQ(RecorderContainerOfName("a.VQR"), Container::Vqr);
  EXPECT_EQ(RecorderContainerOfName("a.vqm"), Container::Vqm);
  EXPECT_EQ(RecorderContainerOfName("a.VQM"), Container::Vqm);
  EXPECT_EQ(RecorderContainerOfName("a.Vqr"), std::nullopt);
  EXPECT_EQ(RecorderContainerOfName("a.wav"), std::nullopt);
  EXPECT_EQ(RecorderContainerOfName("talkvqm"), Container::Vqm);  // no dot needed
  EXPECT_EQ(RecorderContainerOfName("qr"), std::nullopt);
  EXPECT_EQ(RecorderContainerOfName(""), std::nullopt);
}

TEST(FileKindOf, FollowsThePlayersRule) {
  EXPECT_EQ(FileKindOfName("a.vqr"), 0);
  EXPECT_EQ(FileKindOfName("a.VQR"), 0);
  EXPECT_EQ(FileKindOfName("a.Vqr"), 1);
  EXPECT_EQ(FileKindOfName("a.vqm"), 1);
  EXPECT_EQ(FileKindOfName("vqr"), 0);
  EXPECT_EQ(FileKindOfName("qr"), 1);
}

TEST(RecorderContainerOfContent, GoesByTheMagicWhateverTheName) {
  using namespace std::string_literals;
  testkit::TempDir dir;
  auto write = [&](const std::string& name, const std::string& bytes) {
    testkit::write_file(dir.file(name), std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return dir.file(name).string();
  };
  EXPECT_EQ(RecorderContainerOfContent(write("Memo.Vqr", "OIFF\x10\0\0\0WAVEfmt "s).c_str()),
            Container::Vqr);
  EXPECT_EQ(RecorderContainerOfContent(write("noname", "VQ_VOICE"s).c_str()),
            Container::Vqm);  // 8 bytes suffice
  EXPECT_EQ(RecorderContainerOfContent(write("a.vqr", "RIFF\x10\0\0\0WAVEfmt "s).c_str()),
            std::nullopt);
  EXPECT_EQ(RecorderContainerOfContent(write("short.vqr", "OIFF\x10\0\0\0WAV"s).c_str()),
            std::nullopt);
  EXPECT_EQ(RecorderContainerOfContent(write("empty", ""s).c_str()), std::nullopt);
  EXPECT_EQ(RecorderContainerOfContent(dir.file("absent").c_str()), std::nullopt);
  EXPECT_EQ(RecorderContainerOfContent(dir.path().c_str()), std::nullopt);
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  EXPECT_EQ(RecorderContainerOfContent(dir.file("fifo").c_str()), std::nullopt);  // returns at once
}

}  // namespace
}  // namespace calendo
