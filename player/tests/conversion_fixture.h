// What the conversion tests share: recorder files with known codes, a window
// put into the state of an opened file, and a WAV file built here from the
// decoder's own decode of the same codes, to compare the conversion with.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <QFile>

#include "platform/memory.h"
#include "testing/recorder_writer.h"
#include "window/form1.h"

namespace calendo::testing {

// One page of a recorder file as the test made it.
struct PageCodes {
  bool lp = false;
  std::vector<uint8_t> codes;
};

// Codes of `count` pages; LP pages where `lp(page)` says so. The codes wander
// so that the decoder's state moves, deterministically.
template <typename IsLp>
std::vector<PageCodes> MakePages(int count, IsLp lp) {
  std::vector<PageCodes> pages;
  uint32_t seed = 12345;
  for (int p = 0; p < count; ++p) {
    PageCodes page;
    page.lp = lp(p);
    const int codes = page.lp ? 2046 : 1360;
    const uint32_t mask = page.lp ? 3 : 7;
    for (int i = 0; i < codes; ++i) {
      seed = seed * 1103515245u + 12345u;
      page.codes.push_back(static_cast<uint8_t>((seed >> 16) & mask));
    }
    pages.push_back(std::move(page));
  }
  return pages;
}

// A vqr file of these pages; `lp_rate` is the LP mode's rate code (7 or 8).
inline void WriteVqr(const std::filesystem::path& path, const std::vector<PageCodes>& pages,
                     uint8_t lp_rate = 7) {
  testkit::VqrFile file;
  const bool any_sp = std::any_of(pages.begin(), pages.end(), [](auto& p) { return !p.lp; });
  const bool any_lp = std::any_of(pages.begin(), pages.end(), [](auto& p) { return p.lp; });
  file.header.file_mode = any_sp && any_lp ? 2 : (any_lp ? 1 : 0);
  file.header.lp.rate_code = lp_rate;
  for (const PageCodes& page : pages) {
    file.pages.push_back(page.lp ? testkit::vqr_lp_page(page.codes)
                                 : testkit::vqr_sp_page(page.codes));
  }
  file.write(path);
}

// Puts the window into the state of an opened recorder file, through the
// reader calls that opening makes.
inline void PutOpened(Form1& form, const std::filesystem::path& path, int16_t kind = 0) {
  const std::string name = path.string();
  form.PlayFileName = QFile::decodeName(name.c_str());
  form.FileKind = kind;
  form.Splp = imports::play_splpget(name.c_str(), kind);
  form.PageCount = static_cast<int32_t>(form.Splp.page_count);
  form.SplpTable.resize(static_cast<std::size_t>(std::max(0, form.PageCount)) + 1);
  imports::pb_splptblmk(name.c_str(), form.SplpTable.data(), static_cast<uint32_t>(form.PageCount),
                        kind);
  form.PlaySlider->setMaximum(std::max(0, form.PageCount - 1));
  form.PlaySlider->setValue(0);
  form.PlaySlider->setEnabled(true);
  form.M_transwav->menuAction()->setEnabled(true);
  form.ComControl(READY);
}

inline std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
  QFile file(QString::fromStdString(path.string()));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// The decoder's samples of a page's codes, without any change of rate.
inline std::vector<int16_t> DecodeRaw(const PageCodes& page) {
  std::vector<uint8_t> codes = page.codes;
  int16_t* block = nullptr;
  const int32_t n = imports::pb_adpcm_dec(11, page.lp ? 2 : 3, static_cast<int32_t>(codes.size()),
                                          codes.data(), &block, 0);
  std::vector<int16_t> samples(block, block + std::max(0, n));
  platform::block_free(block);
  return samples;
}

// Repeats samples by a group pattern (indexes into each group of `in` inputs)
// over `groups` groups; inputs past the decoded ones count as 0.
inline std::vector<int32_t> Expand(const std::vector<int16_t>& x, int in,
                                   const std::vector<int>& pattern, int groups) {
  std::vector<int32_t> y;
  for (int g = 0; g < groups; ++g) {
    for (int k : pattern) {
      const std::size_t i = static_cast<std::size_t>(g * in + k);
      y.push_back(i < x.size() ? x[i] : 0);
    }
  }
  return y;
}

// The first n samples, each the truncated halves of itself and the next
// (not yet smoothed) one.
inline std::vector<int32_t> Smooth(std::vector<int32_t> y, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) y[i] = y[i] / 2 + y[i + 1] / 2;
  y.resize(n);
  return y;
}

// A page at the output rate: both modes in the file give 11025 Hz.
inline std::vector<int32_t> PageAtOutputRate(const PageCodes& page, int lp_rate, bool mixed) {
  const std::vector<int16_t> x = DecodeRaw(page);
  if (!page.lp) return std::vector<int32_t>(x.begin(), x.end());  // SP at 11025 Hz
  if (lp_rate == 7 && mixed)
    return Smooth(Expand(x, 7, {0, 0, 1, 2, 2, 3, 4, 4, 5, 6, 6}, 293), 3215);
  if (lp_rate == 7) return Smooth(Expand(x, 7, {0, 0, 1, 2, 3, 4, 5, 6}, 293), 2338);
  std::vector<int32_t> y(x.begin(), x.end());
  y.resize(2048, 0);  // 2-bit pages at 8000 Hz fill 2048 samples
  return y;
}

inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 2; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The WAV file a conversion of these pages must give; `bits` 8 or 16.
// Decodes through the decoder, so nothing else may decode meanwhile.
inline std::vector<uint8_t> ExpectedWav(const std::vector<PageCodes>& pages, int lp_rate,
                                        int bits) {
  const bool any_sp = std::any_of(pages.begin(), pages.end(), [](auto& p) { return !p.lp; });
  const bool any_lp = std::any_of(pages.begin(), pages.end(), [](auto& p) { return p.lp; });
  const bool mixed = any_sp && any_lp;
  uint8_t flag = 0;
  imports::pb_adpcm_dec(0, 0, 0, &flag, nullptr, 1);  // a fresh stream
  std::vector<uint8_t> data;
  for (const PageCodes& page : pages) {
    for (int32_t s : PageAtOutputRate(page, lp_rate, mixed)) {
      if (bits == 8) {
        data.push_back(static_cast<uint8_t>(s / 256 + 128));
      } else {
        Put16(data, static_cast<uint16_t>(static_cast<int16_t>(s)));
      }
    }
  }
  const uint32_t rate = (any_sp || mixed) ? 11025 : 8000;
  const uint32_t align = bits / 8;
  std::vector<uint8_t> wav;
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) wav.push_back(static_cast<uint8_t>(t[i]));
  };
  tag("RIFF");
  Put32(wav, static_cast<uint32_t>(data.size()) + 36);
  tag("WAVE");
  tag("fmt ");
  Put32(wav, 16);
  Put16(wav, 1);
  Put16(wav, 1);
  Put32(wav, rate);
  Put32(wav, rate * align);
  Put16(wav, align);
  Put16(wav, static_cast<uint32_t>(bits));
  tag("data");
  Put32(wav, static_cast<uint32_t>(data.size()));
  wav.insert(wav.end(), data.begin(), data.end());
  return wav;
}

}  // namespace calendo::testing
