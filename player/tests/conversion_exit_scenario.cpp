// A player process for the tests of conversions that end early: it opens a
// recorder file and converts it to 16-bit WAV, answering Yes when asked to
// replace the file. With exitx or exit0 it leaves, once a third of the pages
// are written, by the Exit button or the Exit menu item; with sigterm it is
// sent SIGTERM there. With a number it converts on a disk that fills: that
// many bytes is its file-size limit, as `ulimit -f` would set, so every write
// past it fails.
//
// Usage: player_conversion_exit_scenario exitx|exit0|sigterm|LIMIT LIBRARY_DIR RECORDER WAV
// Ends with 0 through the window's exit; 3 if the conversion ran to its end,
// after printing the text of each message box shown on a line of its own.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "calendo/client/pending_file_signals.h"
#include "conversion_fixture.h"
#include "desktop/file_size_limit.h"
#include "qt/event_pump.h"
#include "scripted_host.h"
#include "window/form1.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const bool by_button = std::strcmp(argv[1], "exitx") == 0;
  const bool by_signal = std::strcmp(argv[1], "sigterm") == 0;
  const bool leaves = by_button || by_signal || std::strcmp(argv[1], "exit0") == 0;
  if (!leaves) {
    const rlim_t bytes = std::strtoull(argv[1], nullptr, 10);
    const rlimit limit{bytes, bytes};
    if (bytes == 0 || setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
  }
  // As the program does at start.
  calendo::TreatFileSizeLimitAsFullDisk();
  calendo::client::RemovePendingFilesOnSignals();
  QApplication app(argc, argv);
  calendo::binding::SetLibraryDirectory(argv[2]);
  calendo::testing::ScriptedHost host;
  calendo::EventPump pump;
  calendo::Form1 form(host, pump, "E");
  form.RunHandler([&] { form.Form_Load(); });
  calendo::testing::PutOpened(form, argv[3]);
  host.save_answers.push_back(QString::fromLocal8Bit(argv[4]));
  host.box_answers.push_back(6);  // Yes, replace it

  const int exit_page = form.PageCount / 3 / 15 * 15;
  QObject::connect(form.ProgressBar1, &QProgressBar::valueChanged, &form, [&](int page) {
    if (!leaves || page != exit_page) return;
    QTimer::singleShot(0, &form, [&] {
      if (by_signal) {
        ::kill(::getpid(), SIGTERM);
      } else if (by_button) {
        form.EXITX->click();
      } else {
        form.EXIT0->trigger();
      }
    });
  });
  form.Trans_wav16bit->trigger();
  for (const auto& box : host.boxes) std::printf("%s\n", box.text.toUtf8().constData());
  return 3;
}
