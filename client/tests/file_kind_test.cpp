// The file-kind rule: the last three characters of a name, two cases only.
#include <gtest/gtest.h>

#include "calendo/client/file_kind.h"

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

}  // namespace
}  // namespace calendo
