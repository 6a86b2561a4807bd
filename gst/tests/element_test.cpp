// calendodec on its own: files it refuses (with the reason on the bus and no
// samples), and push mode.
#include <gtest/gtest.h>

#include "gst_support.h"

namespace gsttest {
namespace {

namespace fs = std::filesystem;

std::string ElementPipeline(const fs::path& path) {
  return "filesrc location=\"" + path.string() + "\" ! calendodec ! appsink name=out sync=false";
}

void WriteBytes(const fs::path& path, const testkit::Bytes& bytes) {
  testkit::write_file(path, bytes);
}

void ExpectRefused(const fs::path& path, const std::string& reason) {
  const Decoded decoded = Decode(ElementPipeline(path));
  ASSERT_TRUE(decoded.error) << "no error for " << path;
  EXPECT_NE(decoded.error->find(reason), std::string::npos) << *decoded.error;
  EXPECT_TRUE(decoded.data.empty()) << decoded.data.size() << " bytes decoded";
}

TEST(Refusal, HeaderCutShortAtAnyLength) {
  testkit::TempDir dir;
  WriteRecording(dir.file("whole.vqr"), "SL", 41);
  WriteRecording(dir.file("whole.vqm"), "SS", 42, true);
  const std::string vqr = ReadFile(dir.file("whole.vqr"));
  const std::string vqm = ReadFile(dir.file("whole.vqm"));
  const fs::path cut = dir.file("cut");
  for (std::size_t length = 4; length < 92; ++length) {
    SCOPED_TRACE("vqr cut to " + std::to_string(length));
    WriteBytes(cut, testkit::Bytes(vqr.begin(), vqr.begin() + static_cast<long>(length)));
    ExpectRefused(cut, "header is cut short");
  }
  for (std::size_t length = 8; length < 96; ++length) {
    SCOPED_TRACE("vqm cut to " + std::to_string(length));
    WriteBytes(cut, testkit::Bytes(vqm.begin(), vqm.begin() + static_cast<long>(length)));
    ExpectRefused(cut, "header is cut short");
  }
}

TEST(Refusal, ErrorNamesTheReason) {
  testkit::TempDir dir;
  {
    testkit::VqrFile file;
    file.header.sp.rate_code = 9;
    file.pages.push_back(testkit::vqr_sp_page());
    file.write(dir.file("rate.vqr"));
    ExpectRefused(dir.file("rate.vqr"), "SP rate code must be 7, 8 or 11 (at byte 61)");
  }
  {
    testkit::VqrFile file;
    file.header.lp.code_bytes = 600;
    file.pages.push_back(testkit::vqr_sp_page());
    file.write(dir.file("descriptor.vqr"));
    ExpectRefused(dir.file("descriptor.vqr"), "LP descriptor does not fit a page");
  }
  {
    // Half-size pages would count twice the pages, half of them past the end.
    testkit::VqrFile file;
    file.header.page_size = 264;
    file.pages.push_back(testkit::vqr_sp_page());
    file.write(dir.file("pagesize.vqr"));
    ExpectRefused(dir.file("pagesize.vqr"), "page size must be 528 (at byte 58)");
  }
  {
    testkit::VqrFile file;
    file.trailing.assign(527, 0);  // a partial page only
    file.write(dir.file("empty.vqr"));
    ExpectRefused(dir.file("empty.vqr"), "no whole page");
  }
  {
    testkit::VqmFile file;
    file.audio.assign(510 * 3, 0x55);
    file.directory_length_override = 8 * 100000;
    file.write(dir.file("directory.vqm"));
    ExpectRefused(dir.file("directory.vqm"), "runs past the end of the file");
  }
  {
    testkit::VqmFile file;
    file.audio.assign(510 * 3, 0x55);
    for (uint32_t i = 0; i < 5001; ++i) file.gaps.push_back({0, 1});
    file.write(dir.file("gaps.vqm"));
    ExpectRefused(dir.file("gaps.vqm"), "more than 5000 gaps");
  }
  {
    testkit::VqrFile file;
    file.header.magic = "RIFF";
    file.pages.push_back(testkit::vqr_sp_page());
    file.write(dir.file("riff.vqr"));
    ExpectRefused(dir.file("riff.vqr"), "neither OIFF nor VQ_VOICE");
  }
}

// Push mode (a queue cannot be pulled from): the file arrives in pieces and
// is decoded once whole; no seeking is offered.
TEST(PushMode, SamplesEqualTheConversionWithoutSeeking) {
  testkit::TempDir dir;
  const fs::path path = dir.file("pushed.vqr");
  WriteRecording(path, "SLLSSLLS", 51);
  const Converted expected = Convert(path);
  const Decoded decoded = Decode("filesrc blocksize=1000 location=\"" + path.string() +
                                 "\" ! queue ! calendodec ! appsink name=out sync=false");
  ASSERT_FALSE(decoded.error) << *decoded.error;
  EXPECT_TRUE(decoded.data == expected.data)
      << decoded.data.size() << " of " << expected.data.size() << " bytes";
  EXPECT_EQ(decoded.duration_samples, static_cast<gint64>(expected.data.size() / 2));
  EXPECT_FALSE(decoded.seekable);
}

}  // namespace
}  // namespace gsttest
