// The Open dialog lists a folder by the names the system keeps, so a
// recording named in Latin-1 is listed and opened by its bytes.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "qt/file_name_bytes.h"
#include "qt/folder_listing.h"
#include "qt/open_file_dialog.h"
#include "test_app.h"
#include "testing/temp_dir.h"

namespace calendo {
namespace {

constexpr char kLatin1Name[] = "caf\xe9.vqr";
const QString kRecorderFilter = QStringLiteral("Recorder files(*.vqr;*.vqm)|*.vqr;*.vqm");

class FolderOfCard : public ::testing::Test {
 protected:
  void SetUp() override {
    Touch(kLatin1Name);
    Touch("B.VQM");
    Touch("a10.vqr");
    Touch("a9.vqr");
    Touch("notes.txt");
    Touch(".hidden.vqr");
    ::mkdir(dir_.file("sub").c_str(), 0700);
    ::symlink("sub", dir_.file("link").c_str());
    ::symlink("nowhere", dir_.file("broken.vqr").c_str());
  }
  void Touch(const std::string& name) { std::ofstream(dir_.file(name)) << "x"; }
  QString Folder() const { return FileNameFromBytes(QByteArray::fromStdString(dir_.path())); }
  static QStringList Shown(const QListWidget& list) {
    QStringList shown;
    for (int row = 0; row < list.count(); ++row) shown << list.item(row)->text();
    return shown;
  }

  testkit::TempDir dir_;
};

TEST_F(FolderOfCard, ListingKeepsEveryNameAndPutsFoldersFirst) {
  const auto entries = ListFolder(Folder());
  ASSERT_TRUE(entries);
  QStringList names;
  for (const FolderEntry& entry : *entries) {
    names << ShownFileName(entry.name) + (entry.folder ? QStringLiteral("/") : QString());
  }
  EXPECT_EQ(names, (QStringList{"link/", "sub/", "a10.vqr", "a9.vqr", "B.VQM", "broken.vqr",
                                QStringLiteral(u"caf\uFFFD.vqr"), "notes.txt"}));
  const auto latin1 = std::find_if(entries->begin(), entries->end(), [](const FolderEntry& e) {
    return FileNameBytes(e.name) == QByteArray(kLatin1Name);
  });
  EXPECT_NE(latin1, entries->end());
  EXPECT_FALSE(ListFolder(Folder() + QStringLiteral("/missing")));
}

TEST(FolderListing, PatternsMatchWholeNamesInEitherCase) {
  const QStringList recorder{"*.vqr", "*.vqm"};
  EXPECT_TRUE(MatchesPatterns("DS400012.VQR", recorder));
  EXPECT_TRUE(MatchesPatterns(FileNameFromBytes(kLatin1Name), recorder));
  EXPECT_FALSE(MatchesPatterns("memo.vqr.txt", recorder));
  EXPECT_FALSE(MatchesPatterns("vqr", recorder));
  EXPECT_TRUE(MatchesPatterns("anything", {}));
  EXPECT_EQ(ParentFolder("/a/b"), "/a");
  EXPECT_EQ(ParentFolder("/a"), "/");
  EXPECT_EQ(ParentFolder("/"), "/");
}

TEST_F(FolderOfCard, DialogListsRecordingsAndOpensTheLatin1OneByItsBytes) {
  testing::TestApplication();
  OpenFileDialog dialog(nullptr, {kRecorderFilter, Folder(), QString(), 4});
  EXPECT_EQ(dialog.Folder(), Folder());
  EXPECT_EQ(Shown(*dialog.List()), (QStringList{"link", "sub", "a10.vqr", "a9.vqr", "B.VQM",
                                                "broken.vqr", QStringLiteral(u"caf\uFFFD.vqr")}));

  dialog.List()->setCurrentRow(6);
  EXPECT_EQ(dialog.NameField()->text(), QStringLiteral(u"caf\uFFFD.vqr"));
  dialog.OpenNamed();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(FileNameBytes(dialog.ChosenPath()).toStdString(), dir_.file(kLatin1Name).string());
  EXPECT_TRUE(NamedFileExists(dialog.ChosenPath()));
}

TEST_F(FolderOfCard, DialogGoesIntoFoldersAndTakesTypedNames) {
  testing::TestApplication();
  Touch("sub/inner.vqr");
  ::mkdir(dir_.file("sub/deeper").c_str(), 0700);
  OpenFileDialog dialog(nullptr, {kRecorderFilter, Folder() + "/missing", QString(), 4});
  // An unreadable start folder gives the current folder.
  EXPECT_EQ(FileNameBytes(dialog.Folder()).toStdString(), std::filesystem::current_path().string());

  ASSERT_TRUE(dialog.ShowFolder(Folder()));
  // Return in the name field enters the folder once, not its first folder too.
  dialog.show();
  dialog.NameField()->setFocus();
  dialog.NameField()->setText("sub");
  QTest::keyClick(dialog.NameField(), Qt::Key_Return);
  EXPECT_EQ(dialog.Folder(), Folder() + "/sub");
  EXPECT_EQ(Shown(*dialog.List()), (QStringList{"deeper", "inner.vqr"}));
  EXPECT_NE(dialog.result(), QDialog::Accepted);

  // A typed path is taken relative to the folder listed, ".." included.
  dialog.NameField()->setText("../notes.txt");
  dialog.OpenNamed();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.ChosenPath(), Folder() + "/notes.txt");
}

TEST_F(FolderOfCard, AnotherTypeShowsItsFiles) {
  testing::TestApplication();
  OpenFileDialog dialog(nullptr, {"Text|*.txt|All|*", Folder(), QString(), 4});
  EXPECT_EQ(Shown(*dialog.List()), (QStringList{"link", "sub", "notes.txt"}));
  dialog.TypeBox()->setCurrentIndex(1);
  EXPECT_EQ(dialog.List()->count(), 8);
}

}  // namespace
}  // namespace calendo
