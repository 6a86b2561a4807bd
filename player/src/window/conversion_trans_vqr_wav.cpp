// TransVqrWav: the recorder file decoded page by page into a WAV file, with
// the free-space check, the progress display and Cancel.
//
// The WAV file is written under a temporary name beside the chosen one
// (calendo/pending_file.h) and takes the chosen name, replacing a file of
// that name, only when its last page is written. A conversion that stops
// early for any reason (Cancel, a failure, the program's exit, a signal)
// removes only its temporary file; the file it was to replace stays as it
// was. The finished file keeps the recording's modification time.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include "calendo/client/wav_conversion.h"
#include "calendo/pending_file.h"
#include "qt/file_name_bytes.h"
#include "window/form1.h"

namespace calendo {
namespace {

// Int(page / last * 100) as the progress label shows it; a file of one page
// divides 0 by 0, which overflows.
int32_t Percent(int32_t page, int32_t last) {
  if (last == 0) Raise(kErrOverflow);
  return static_cast<int32_t>(std::floor(static_cast<double>(page) / last * 100.0));
}

// Names the temporary file in the window's list while it exists, so that an
// exit, which ends the process without unwinding, can remove it.
class ListedTempFile {
 public:
  ListedTempFile(std::vector<std::string>& list, const std::string& temp)
      : list_(list), temp_(temp) {
    list_.push_back(temp_);
  }
  ListedTempFile(const ListedTempFile&) = delete;
  ListedTempFile& operator=(const ListedTempFile&) = delete;
  ~ListedTempFile() {
    const auto at = std::find(list_.begin(), list_.end(), temp_);
    if (at != list_.end()) list_.erase(at);
  }

 private:
  std::vector<std::string>& list_;
  const std::string temp_;
};

std::optional<timespec> ModificationTime(const char* path) {
  struct stat status {};
  if (::stat(path, &status) != 0) return std::nullopt;
  return status.st_mtim;
}

// The finished file as the recording dated it; a file system that refuses
// keeps the time of writing, which loses nothing.
void CopyModificationTime(const std::optional<timespec>& time, const std::string& path) {
  if (!time) return;
  const timespec times[2] = {{0, UTIME_OMIT}, *time};
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
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

// The window's part in the shared conversion: every library call a statement
// run with errors ignored, the free-space check of the drive that holds the
// WAV file, and the progress checkpoints where Cancel gets through.
class Form1::ConversionCheckpoints final : public client::ConversionSteps {
 public:
  ConversionCheckpoints(Form1& form, ResumeNext& step, const QString& dest, int32_t pages)
      : form_(form), step_(step), dest_(dest), pages_(pages) {}

  void Call(const std::function<void()>& call) override { step_(call); }

  bool HasRoomFor(int32_t data_bytes) override {
    // The space that counts is that of the file system holding the WAV file.
    double free_space = 0;
    step_([&] { form_.DriveObj->Drive(QFileInfo(dest_).absolutePath()); });
    step_([&] { free_space = form_.DriveObj->FreeSpace(); });
    return data_bytes <= free_space;
  }

  bool BeforePage(int32_t page) override {
    if (page % progress_step_ != 0 && page != pages_ - 1) return true;
    form_.ShowConversionProgress(page, pages_ - 1, label_phase_);
    return form_.ConvActive != 0;
  }

 private:
  Form1& form_;
  ResumeNext& step_;
  const QString& dest_;
  const int32_t pages_;
  const int32_t progress_step_ = pages_ > 100 ? 15 : 2;
  int16_t label_phase_ = 0;
};

// Runs with run-time errors ignored: a statement that fails is skipped.
// The names come by value: the callers pass the window's own variables, which
// a command run at a checkpoint may change.
int16_t Form1::TransVqrWav(QString source, QString dest, int16_t format, int16_t& result) {
  ResumeNext step;
  const QByteArray source_path = FileNameBytes(source);
  const QByteArray dest_path = FileNameBytes(dest);

  auto message = [&](int index) {
    step([&] {
      MsgAnswer = QString::number(
          host_.MsgBox(MsgText[index], platform::kMbCancelTryContinue, MsgText[kMsgTitle]));
    });
  };
  // Set before the file is made, removed (unless renamed) when the
  // conversion ends, however it ends.
  std::optional<PendingFile> output;
  std::optional<ListedTempFile> listed;
  auto abandon = [&](int index) {
    message(index);
    listed.reset();
    output.reset();
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
    const client::RecordingToConvert recording{source_path.constData(), FileKind, Splp, PageCount};
    const int32_t pages = recording.pages;

    step([&] { ProgressBar1->setMaximum(pages - 1); });
    step([&] { ProgressBar1->setValue(0); });
    step([&] {
      PlayTimeLabel->setText(QString::number(Percent(0, pages - 1)) + QStringLiteral(" %"));
    });
    step([&] { pump_.ProcessEvents(); });

    // A folder where no file can be made is a file that cannot be created.
    Result<PendingFile> made = PendingFile::create(dest_path.toStdString());
    if (!made.ok()) {
      message(kMsgRunningAlready);
      return;
    }
    output.emplace(std::move(*made));
    listed.emplace(conversion_temp_files, output->temp_path());
    const std::optional<timespec> recorded = ModificationTime(source_path.constData());

    ConversionCheckpoints checkpoints(*this, step, dest, pages);
    const client::ConversionOutcome outcome =
        client::ConvertToWav(recording, output->temp_path().c_str(), format, checkpoints);
    switch (outcome.end) {
      case client::ConversionEnd::kDone: {
        CopyModificationTime(recorded, output->temp_path());
        const Status committed = output->commit(/*replace=*/true);
        if (!committed.ok()) {
          // Flushing failed: the disk is full. Naming failed: the folder
          // refuses the file.
          abandon(committed.fault().failure == Failure::CannotWrite ? kMsgShortOfCapacity
                                                                    : kMsgRunningAlready);
        }
        return;
      }
      case client::ConversionEnd::kCannotCreate:
      case client::ConversionEnd::kRefused:
        // Nothing written; the empty temporary file goes with `output`.
        message(kMsgRunningAlready);
        return;
      case client::ConversionEnd::kNoRoom:
      case client::ConversionEnd::kCannotAppend:  // the samples could not be written
        abandon(kMsgShortOfCapacity);
        return;
      case client::ConversionEnd::kPageUnreadable:  // the recorder file went away
        abandon(kMsgCannotOpen);
        return;
      case client::ConversionEnd::kStopped:
        // Cancel, or the menu's conversion command chosen meanwhile: the
        // partial file goes when `output` does; a newer conversion of the
        // same name writes a file of its own.
        return;
    }
  };

  convert();
  EndConversion();
  result = 0;
  return 0;
}

}  // namespace calendo
