// File names that are not UTF-8 keep their bytes through the window's
// QStrings and are shown with U+FFFD.
#include <string>

#include <gtest/gtest.h>

#include "qt/file_name_bytes.h"

namespace calendo {
namespace {

TEST(FileNameBytes, EveryNameComesBackAsItsBytes) {
  for (const std::string& bytes : {
           std::string("memo.vqr"),
           std::string("caf\xe9.vqr"),                   // Latin-1
           std::string("caf\xc3\xa9.vqr"),               // UTF-8
           std::string("\xe4\xbc\x9a\xe8\xad\xb0.vqr"),  // 会議, 3-byte sequences
           std::string("\xf0\x90\x82\x80.vqr"),          // U+10080: its low half is U+DC80
           std::string(
               "\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80.vqr"),  // overlong, surrogate, > U+10FFFF
           std::string("cut\xe2\x82"),                       // a sequence cut short
           std::string("\x80\xff\xfe"),                      // stray bytes only
           std::string(),
       }) {
    const QString name = FileNameFromBytes(QByteArrayView(bytes.data(), bytes.size()));
    EXPECT_EQ(FileNameBytes(name).toStdString(), bytes) << bytes;
  }
  // Valid UTF-8 reads as UTF-8, and any other QString gives its UTF-8.
  EXPECT_EQ(FileNameFromBytes("caf\xc3\xa9.vqr"), QStringLiteral(u"café.vqr"));
  EXPECT_EQ(FileNameBytes(QStringLiteral(u"会議.vqr")), QByteArray("\xe4\xbc\x9a\xe8\xad\xb0.vqr"));
}

TEST(FileNameBytes, KeptBytesAreShownAsReplacementCharacters) {
  EXPECT_EQ(ShownFileName(FileNameFromBytes("caf\xe9.vqr")), QStringLiteral(u"caf\uFFFD.vqr"));
  EXPECT_EQ(ShownFileName(FileNameFromBytes("\xf0\x90\x82\x80\xe9")),
            QString::fromUtf8("\xf0\x90\x82\x80\xef\xbf\xbd"));
  EXPECT_EQ(ShownFileName(QStringLiteral(u"café.vqr")), QStringLiteral(u"café.vqr"));
}

}  // namespace
}  // namespace calendo
