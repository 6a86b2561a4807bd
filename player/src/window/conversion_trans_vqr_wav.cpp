// TransVqrWav: the recorder file decoded page by page into a WAV file, with
// the free-space check, the progress display and Cancel.
//
// A WAV file is either whole or gone: whenever the conversion stops before
// the last page for a reason other than Cancel (which deletes the file
// itself), or cannot begin after the header was written, the file is deleted,
// since its header announces data that it does not hold.
#include <array>
#include <cmath>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include "form1.h"

namespace calendo {
namespace {

constexpr int32_t kMbCancelTryContinue = 6;

// Int(page / last * 100) as the progress label shows it; a file of one page
// divides 0 by 0, which overflows.
int32_t Percent(int32_t page, int32_t last) {
  if (last == 0) Raise(kErrOverflow);
  return static_cast<int32_t>(std::floor(static_cast<double>(page) / last * 100.0));
}

}  // namespace

void Form1::ShowConversionProgress(int32_t page, int32_t last_page, int16_t& label_phase) {
  ResumeNext step;
  step([&] { ProgressBar1->setValue(page); });
  step([&] {
    PlayTimeLabel->setText(QString::number(Percent(page, last_page)) +
                           (label_phase == 0 ? QStringLiteral(" %   ") : QStringLiteral(" %  .")));
  });
  label_phase = label_phase == 0 ? 1 : 0;
  step([&] { pump_.ProcessEvents(); });
}

void Form1::EndConversion() {
  ResumeNext step;
  step([&] { ProgressBar1->setValue(0); });
  step([&] { ProgressBar1->setVisible(false); });
  step([&] { PlaySlider->setVisible(true); });
  step([&] { PlayTimeLabel->setText(QStringLiteral(" ")); });
  step([&] { Cancelx->setEnabled(false); });
  ConvActive = 0;
}

// Runs with run-time errors ignored: a statement that fails is skipped.
// The names come by value: the callers pass the window's own variables, which
// a command run at a checkpoint may change.
int16_t Form1::TransVqrWav(QString source, QString dest, int16_t format, int16_t& result) {
  ResumeNext step;
  const QByteArray source_path = QFile::encodeName(source);
  const QByteArray dest_path = QFile::encodeName(dest);
  std::array<uint8_t, 528> page_buffer{};
  std::array<uint8_t, 2048> code_buffer{};
  std::array<uint8_t, 201> header_copy{};

  auto message = [&](int index) {
    step([&] {
      MsgAnswer =
          QString::number(host_.MsgBox(MsgText[index], kMbCancelTryContinue, MsgText[kMsgTitle]));
    });
  };
  auto abandon = [&](int index) {
    message(index);
    QFile::remove(dest);
  };

  // Everything up to the end; a return is the way to the common end.
  auto convert = [&] {
    // The pictures take no part in a conversion, and nothing gives them back.
    for (QLabel* image : Image1) step([&] { image->setEnabled(false); });
    step([&] { ProgressBar1->setVisible(true); });
    step([&] { ProgressBar1->setValue(0); });
    step([&] { PlaySlider->setVisible(false); });
    step([&] { Cancelx->setEnabled(true); });
    ConvActive = 1;
    const uint32_t serial = ++conversion_serial_;

    step([&] {
      Splp = imports::play_splpget(source_path.constData(), FileKind);
      PageCount = static_cast<int32_t>(Splp.page_count);
    });
    // A record of 1s (cannot open) or 13s (not a recorder file) has no pages
    // to convert either.
    const bool refused =
        Splp.rate_code[0] == KESTRUNE_CANNOT_OPEN || Splp.rate_code[0] == KESTRUNE_WRONG_KIND;
    if (PageCount <= 0 || refused) {
      message(kMsgCannotOpen);
      return;
    }

    // The table grows with the file: one entry per page and one to spare.
    step([&] {
      const auto needed = static_cast<std::size_t>(PageCount) + 1;
      if (SplpTable.size() < needed) SplpTable.resize(needed);
    });
    step([&] {
      imports::pb_splptblmk(source_path.constData(), SplpTable.data(),
                            static_cast<uint32_t>(PageCount), FileKind);
    });
    step([&] {
      imports::splp_pageno(SplpTable.data(), Splp.page_field, static_cast<uint32_t>(PageCount));
    });
    // What the pages are read with from here on: a file opened meanwhile
    // changes the window's variables, not the file being converted.
    const SplpInfo splp = Splp;
    const int32_t pages = PageCount;
    const int16_t kind = FileKind;
    const auto sp_pages = static_cast<int32_t>(splp.page_field[0]);
    const auto lp_pages = static_cast<int32_t>(splp.page_field[1]);

    step([&] { ProgressBar1->setMaximum(pages - 1); });
    step([&] { ProgressBar1->setValue(0); });
    step([&] {
      PlayTimeLabel->setText(QString::number(Percent(0, pages - 1)) + QStringLiteral(" %"));
    });
    step([&] { pump_.ProcessEvents(); });

    int32_t data_length = -1;
    step([&] {
      data_length = imports::AdpcmDecHeader(dest_path.constData(), format, splp.rate_code[0],
                                            splp.rate_code[1], splp.code_bits[0], splp.code_bits[1],
                                            sp_pages, lp_pages, header_copy.data());
    });
    // -1: the file cannot be created; any other negative result: refused, and
    // nothing written, so there is nothing to append to.
    if (data_length < 0) {
      message(kMsgRunningAlready);
      return;
    }

    // The space that counts is that of the file system holding the WAV file.
    double free_space = 0;
    step([&] { DriveObj->Drive(QFileInfo(dest).absolutePath()); });
    step([&] { free_space = DriveObj->FreeSpace(); });
    if (data_length > free_space) {
      abandon(kMsgShortOfCapacity);
      return;
    }

    step([&] {
      imports::AdpcmDecx(dest_path.constData(), code_buffer.data(), 0, 0, 0, 0,
                         imports::kTargetReset);
    });
    const int32_t target = sp_pages > 0 && lp_pages > 0 ? imports::kTarget11k : imports::kTarget8k;
    const int32_t progress_step = pages > 100 ? 15 : 2;
    int16_t label_phase = 0;

    for (int32_t page = 0; page < pages; ++page) {
      if (page % progress_step == 0 || page == pages - 1) {
        ShowConversionProgress(page, pages - 1, label_phase);
        if (ConvActive == 0) {
          // Cancel deleted the file. The menu's conversion command, chosen
          // meanwhile, stopped this one: its partial file goes too, unless a
          // newer conversion has written that same file anew.
          const bool taken_over = conversion_serial_ != serial && ConvFileName == dest;
          if (!taken_over) QFile::remove(dest);
          return;
        }
      }
      int16_t status = 1;
      step([&] {
        status = imports::play_1pagerd(source_path.constData(), page, page_buffer.data(), kind);
      });
      if (status != KESTRUNE_SP_PAGE && status != KESTRUNE_LP_PAGE) {
        abandon(kMsgCannotOpen);  // the recorder file went away
        return;
      }
      const int mode = status == KESTRUNE_LP_PAGE ? 1 : 0;
      int32_t count = 0;
      step([&] {
        count = imports::pb_exdata(
            splp.code_bits[mode], static_cast<int16_t>(splp.code_bytes[mode]),
            static_cast<int16_t>(splp.extra_bits[mode]), page_buffer.data(), code_buffer.data());
      });
      int32_t appended = -1;
      step([&] {
        appended =
            imports::AdpcmDecx(dest_path.constData(), code_buffer.data(), splp.rate_code[mode],
                               splp.code_bits[mode], count, format, target);
      });
      if (appended < 0) {
        abandon(kMsgShortOfCapacity);  // the samples could not be written
        return;
      }
    }
  };

  convert();
  EndConversion();
  result = 0;
  return 0;
}

}  // namespace calendo
