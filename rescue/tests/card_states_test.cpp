// Rescues of FAT images holding recordings in each state a card can leave
// them in, measured as the figures the rescue promises: every recording of
// an intact, deleted or formatted card back byte for byte; fragmented ones
// put back together; every intact page of unfinalised and damaged ones back
// in order; and never pages of two recordings, or out of order, in one file.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>

#include "card_builder.h"
#include "file_system.h"
#include "report.h"
#include "rescue_run.h"
#include "testing/recorder_writer.h"

namespace {

using rescue_test::Bytes;
using rescue_test::FatImage;
using rescue_test::Figures;

class CardStates : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!rescue_test::have_tools()) GTEST_SKIP() << "mkfs.fat and mtools are needed";
  }

  std::filesystem::path write(const std::string& name, const Bytes& bytes) {
    const auto path = dir_.file(name);
    testkit::write_file(path, bytes);
    return path;
  }

  // `count` recordings of 3 to 12 seconds, SP and every fourth LP.
  std::vector<Bytes> recordings(int count, int first_voice = 1) {
    std::vector<Bytes> out;
    for (int i = 0; i < count; ++i) {
      const int voice = first_voice + i;
      out.push_back(rescue_test::speech_recording(dir_.path(), 3.0 + (voice * 37 % 10), voice,
                                                  voice % 4 == 0));
    }
    return out;
  }

  Figures rescue(const std::filesystem::path& image, const std::vector<Bytes>& originals,
                 const std::string& state) {
    const auto out = dir_.path() / ("out-" + state);
    calendo::Result<calendo::rescue::OutputFolder> folder =
        calendo::rescue::OutputFolder::open(out.string());
    if (!folder.ok()) {
      ADD_FAILURE() << folder.fault().message;
      return {};
    }
    std::atomic<bool> stop{false};
    report_ = calendo::rescue::rescue_sources({image.string()}, *folder, {}, stop);
    keep(image, originals, state);
    const Figures f = rescue_test::measure(originals, out);
    std::printf("%s\n", rescue_test::describe(state, f).c_str());
    if (std::getenv("RESCUE_TEST_REPORT"))
      std::printf("%s", calendo::rescue::report_table(report_).c_str());
    EXPECT_EQ(f.false_joins, 0) << state;
    return f;
  }

  // Fills the card with files in an order that leaves holes of 8 to 20
  // clusters between live files of 1 to 1000 clusters once every other one
  // is deleted; some of the live files are recordings.
  std::vector<Bytes> holes(const FatImage& card, uint64_t cluster, int count) {
    std::mt19937 random(4242);
    const int gaps[] = {1, 2, 3, 5, 20, 100, 400, 1000};
    std::vector<Bytes> live_recordings;
    for (int i = 0; i < count; ++i) {
      Bytes hole(cluster * (6 + random() % 9));
      for (auto& b : hole) b = static_cast<uint8_t>(random());
      card.copy_in(write("hole.bin", hole), "HOLE" + std::to_string(i) + ".BIN");
      const int g = gaps[random() % 8];
      if (i % 3 == 1) {
        Bytes other = rescue_test::speech_recording(dir_.path(), 2.0 + i % 4, 100 + i);
        live_recordings.push_back(other);
        card.copy_in(write("live.vqr", other), "LIVE" + std::to_string(i) + ".VQR");
      } else {
        std::string text;
        while (text.size() < cluster * g)
          text += "minutes of the meeting, line " + std::to_string(text.size()) + "\n";
        card.copy_in(write("gap.txt", Bytes(text.begin(), text.end())),
                     "GAP" + std::to_string(i) + ".TXT");
      }
    }
    for (int i = 0; i < count; ++i) card.remove("HOLE" + std::to_string(i) + ".BIN");
    return live_recordings;
  }

  // RESCUE_TEST_KEEP=DIR keeps each state's image and originals for the
  // benchmark's comparison with other tools.
  static void keep(const std::filesystem::path& image, const std::vector<Bytes>& originals,
                   std::string state) {
    const char* keep = std::getenv("RESCUE_TEST_KEEP");
    if (keep == nullptr) return;
    for (char& c : state)
      if (c == ' ' || c == ',') c = '_';
    const auto dir = std::filesystem::path(keep) / state;
    std::filesystem::create_directories(dir / "originals");
    std::filesystem::copy_file(image, dir / "card.img",
                               std::filesystem::copy_options::overwrite_existing);
    for (size_t i = 0; i < originals.size(); ++i)
      testkit::write_file(dir / "originals" / (std::to_string(i) + ".vqr"), originals[i]);
  }

  testkit::TempDir dir_;
  calendo::rescue::RescueReport report_;
};

TEST_F(CardStates, IntactDeletedAndFormattedCardsGiveEveryRecordingBackExactly) {
  for (const int bits : {16, 32}) {
    const std::vector<Bytes> originals = recordings(8, bits);
    // FAT32 needs 65525 clusters: 512-byte ones on a 40 MB card.
    FatImage card(dir_.file("card.img"), bits == 16 ? 16 : 40, bits, bits == 16 ? 4 : 1);
    for (size_t i = 0; i < originals.size(); ++i) {
      card.copy_in(write("r.vqr", originals[i]), "REC" + std::to_string(i) + ".VQR");
      card.copy_in(write("n.txt", Bytes(3000, 'x')), "NOTE" + std::to_string(i) + ".TXT");
    }
    const std::string fat = "FAT" + std::to_string(bits);
    Figures f = rescue(card.path(), originals, fat + " intact");
    EXPECT_EQ(f.exact, f.recordings);
    EXPECT_EQ(f.spurious, 0);

    for (size_t i = 0; i < originals.size(); i += 2)
      card.remove("REC" + std::to_string(i) + ".VQR");
    f = rescue(card.path(), originals, fat + " deleted");
    EXPECT_EQ(f.exact, f.recordings);
    int deleted = 0;
    for (const auto& r : report_.recordings)
      if (r.origin == calendo::rescue::Origin::Deleted) {
        ++deleted;
        EXPECT_EQ(std::filesystem::path(r.output).filename().string()[0], '_');
      }
    EXPECT_EQ(deleted, 4);

    card.format();
    f = rescue(card.path(), originals, fat + " formatted");
    EXPECT_EQ(f.exact, f.recordings);
    EXPECT_EQ(f.spurious, 0);
  }
}

TEST_F(CardStates, FragmentedRecordingsArePutBackTogether) {
  const uint64_t cluster = 2048;
  FatImage card(dir_.file("frag.img"), 24, 16, 4);
  std::vector<Bytes> originals = holes(card, cluster, 30);
  const std::vector<Bytes> fragmented = recordings(14, 20);
  for (size_t i = 0; i < fragmented.size(); ++i)
    card.copy_in(write("f.vqr", fragmented[i]), "FRAG" + std::to_string(i) + ".VQR");

  // How many pieces the file system laid each one in.
  calendo::Result<calendo::rescue::FileSystemListing> listing =
      calendo::rescue::list_file_system(card.path().string());
  ASSERT_TRUE(listing.ok());
  std::map<int, int> by_pieces;
  for (const auto& file : listing->files)
    if (file.path.rfind("FRAG", 0) == 0) ++by_pieces[static_cast<int>(file.extents.size())];
  for (const auto& [pieces, n] : by_pieces) std::printf("%d recordings in %d pieces\n", n, pieces);
  EXPECT_GE(by_pieces[2], 4);
  EXPECT_GE(by_pieces[3], 2);

  originals.insert(originals.end(), fragmented.begin(), fragmented.end());
  for (size_t i = 0; i < fragmented.size(); ++i) card.remove("FRAG" + std::to_string(i) + ".VQR");
  Figures f = rescue(card.path(), originals, "fragmented, deleted");
  EXPECT_GE(f.exact, f.recordings * 9 / 10);

  card.format();
  f = rescue(card.path(), originals, "fragmented, formatted");
  EXPECT_GE(f.exact, f.recordings * 8 / 10);
}

TEST_F(CardStates, UnfinalisedDamagedAndCutShortRecordingsKeepEveryIntactPage) {
  FatImage card(dir_.file("damaged.img"), 16, 16, 4);
  std::vector<Bytes> originals = recordings(6, 40);
  for (size_t i = 0; i < originals.size(); ++i) {
    Bytes file = originals[i];
    if (i % 2 == 0) {
      // Never finished: lengths, page counts and data length 0.
      for (const int at : {4, 56, 71, 73, 75, 79, 88})
        std::fill_n(file.begin() + at, at == 56 || at == 71 || at == 73 ? 2 : 4, 0);
    }
    card.copy_in(write("u.vqr", file), "UNF" + std::to_string(i) + ".VQR");
  }
  for (size_t i = 0; i < originals.size(); i += 2) card.remove("UNF" + std::to_string(i) + ".VQR");
  card.format();
  Figures f = rescue(card.path(), originals, "unfinalised");
  EXPECT_EQ(f.pages_in_order, f.pages);

  // Bad sectors: zero two sectors and 0xFF one inside each recording.
  {
    std::fstream image(card.path(), std::ios::in | std::ios::out | std::ios::binary);
    for (const auto& r : report_.recordings) {
      const uint64_t at = r.fragments.front().image_at + 4096 + 1000;
      image.seekp(static_cast<std::streamoff>(at / 512 * 512));
      const std::string zeros(1024, '\0');
      image.write(zeros.data(), 1024);
      image.seekp(static_cast<std::streamoff>((at + 6000) / 512 * 512));
      const std::string ones(512, '\xFF');
      image.write(ones.data(), 512);
    }
  }
  f = rescue(card.path(), originals, "bad sectors");
  // 1024 zeros touch at most 3 pages; the 0xFF sector reads as SP silence or
  // breaks the marks of at most 2.
  EXPECT_GE(f.pages_in_order, f.pages - 5 * originals.size());
  for (const auto& r : report_.recordings) {
    EXPECT_GE(r.pages_lost, 2u) << r.output;
    EXPECT_LE(r.pages_lost, 5u) << r.output;
  }

  // Cut short inside the last recording.
  const uint64_t last = report_.recordings.back().fragments.front().image_at;
  std::filesystem::resize_file(card.path(), last + 20000);
  f = rescue(card.path(), originals, "cut short");
  bool found = false;
  for (const auto& r : report_.recordings)
    if (r.fragments.front().image_at == last) {
      found = true;
      EXPECT_EQ(r.pages, (20000u - 92) / 528);
      EXPECT_TRUE(r.cut_short);
    }
  EXPECT_TRUE(found);
}

// The size in the root folder entry of a FAT16 image whose 11-byte name
// (name and extension, space-padded) ends in `name_end` set to 0, as a
// recorder that lost its power mid-recording leaves it.
void ZeroEntrySize(const std::filesystem::path& image, const std::string& name_end) {
  std::fstream card(image, std::ios::in | std::ios::out | std::ios::binary);
  uint8_t boot[512];
  card.read(reinterpret_cast<char*>(boot), sizeof boot);
  const auto le16 = [&](int at) { return uint32_t{boot[at]} | uint32_t{boot[at + 1]} << 8; };
  const uint64_t sector = le16(11);
  const uint64_t root = (le16(14) + boot[16] * le16(22)) * sector;
  std::vector<char> entries(le16(17) * 32);
  card.seekg(static_cast<std::streamoff>(root));
  card.read(entries.data(), static_cast<std::streamsize>(entries.size()));
  for (std::size_t at = 0; at < entries.size(); at += 32) {
    if (std::string(&entries[at + 11 - name_end.size()], name_end.size()) != name_end) continue;
    card.seekp(static_cast<std::streamoff>(root + at + 28));
    card.write("\0\0\0\0", 4);
    return;
  }
  ADD_FAILURE() << "no entry ending in " << name_end;
}

TEST_F(CardStates, RecordingsNeverClosedComeBackUnderTheirEntriesNames) {
  FatImage card(dir_.file("unclosed.img"), 16, 16, 4);
  std::vector<Bytes> originals = recordings(2, 60);
  for (size_t i = 0; i < originals.size(); ++i) {
    Bytes file = originals[i];
    for (const int at : {4, 56, 71, 73, 75, 79, 88})
      std::fill_n(file.begin() + at, at == 56 || at == 71 || at == 73 ? 2 : 4, 0);
    card.copy_in(write("u.vqr", file), "UNF" + std::to_string(i) + ".VQR");
  }
  card.remove("UNF1.VQR");
  ZeroEntrySize(card.path(), "UNF0    VQR");
  ZeroEntrySize(card.path(), "NF1    VQR");  // the deleted one's first byte is gone
  const Figures f = rescue(card.path(), originals, "never closed");
  EXPECT_EQ(f.pages_in_order, f.pages);
  std::map<std::string, calendo::rescue::Origin> names;
  for (const auto& r : report_.recordings)
    names[std::filesystem::path(r.output).filename().string()] = r.origin;
  EXPECT_EQ(names.size(), 2u) << calendo::rescue::report_table(report_);
  EXPECT_EQ(names["UNF0.VQR"], calendo::rescue::Origin::FileSystem);
  EXPECT_EQ(names["_NF1.VQR"], calendo::rescue::Origin::Deleted);
}

}  // namespace
