// calendo-convert --info and --json: the figures of a recorder file.
#include <gtest/gtest.h>

#include "tool_support.h"

namespace tooltest {
namespace {

TEST(Info, TellsContainerPagesModesAndTime) {
  testkit::TempDir dir;
  // 6 SP pages of 123 ms and 4 LP pages of 292 ms (2046 codes at 7 kHz).
  WriteVqr(dir.file("mixed.vqr"), MakeCodes("SSLSLLSSLS", 1));
  WriteVqm(dir.file("memo.vqm"), MakeCodes("SSS", 2, true));

  const ToolRun run =
      RunConvert({"--info", dir.file("mixed.vqr").string(), dir.file("memo.vqm").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string expected = dir.file("mixed.vqr").string() +
                               "\n"
                               "  container   vqr\n"
                               "  pages       10 (SP 6, LP 4)\n"
                               "  SP mode     rate code 11, 3-bit codes, 123 ms a page\n"
                               "  LP mode     rate code 7, 2-bit codes, 292 ms a page\n"
                               "  time        00 : 00 : 01\n"
                               "\n" +
                               dir.file("memo.vqm").string() +
                               "\n"
                               "  container   vqm\n"
                               "  pages       3 (SP 3, LP 0)\n"
                               "  SP mode     rate code 11, 3-bit codes, 123 ms a page\n"
                               "  LP mode     rate code 8, 2-bit codes, 255 ms a page\n"
                               "  time        00 : 00 : 00\n";
  EXPECT_EQ(run.out, expected);
}

TEST(Info, JsonGivesTheSameFiguresAndNamesFailures) {
  testkit::TempDir dir;
  WriteVqr(dir.file("mixed.vqr"), MakeCodes("SSLSLLSSLS", 1));
  testkit::write_file(dir.file("bad \"name\".vqm"), std::vector<uint8_t>(100, 0));

  const ToolRun run =
      RunConvert({"--json", dir.file("mixed.vqr").string(), dir.file("bad \"name\".vqm").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("not a vqm recorder file"), std::string::npos) << run.err;
  const std::string expected =
      "[\n  {\"file\": \"" + dir.file("mixed.vqr").string() +
      "\", \"container\": \"vqr\", \"pages\": 10, \"sp_pages\": 6, \"lp_pages\": 4, "
      "\"sp_rate_code\": 11, \"lp_rate_code\": 7, \"sp_code_bits\": 3, \"lp_code_bits\": 2, "
      "\"total_ms\": 1906, \"total_time\": \"00 : 00 : 01\"},\n  {\"file\": \"" +
      dir.path().string() + "/bad \\\"name\\\".vqm\", \"error\": \"not a vqm recorder file\"}\n]\n";
  EXPECT_EQ(run.out, expected);
}

}  // namespace
}  // namespace tooltest
