// A player process for the tests of leaving during a conversion: it opens a
// recorder file, starts converting it to 16-bit WAV, and once a third of the
// pages are written leaves by the Exit button or the Exit menu item.
//
// Usage: player_conversion_exit_scenario exitx|exit0 LIBRARY_DIR RECORDER WAV
// Ends with 0 through the window's exit; 3 if the conversion ran to its end.
#include <QApplication>
#include <QTimer>
#include <cstring>

#include "conversion_fixture.h"
#include "qt/event_pump.h"
#include "scripted_host.h"
#include "window/form1.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const bool by_button = std::strcmp(argv[1], "exitx") == 0;
  QApplication app(argc, argv);
  calendo::binding::SetLibraryDirectory(argv[2]);
  calendo::testing::ScriptedHost host;
  calendo::EventPump pump;
  calendo::Form1 form(host, pump, "E");
  form.RunHandler([&] { form.Form_Load(); });
  calendo::testing::PutOpened(form, argv[3]);
  host.save_answers.push_back(QString::fromLocal8Bit(argv[4]));

  const int exit_page = form.PageCount / 3 / 15 * 15;
  QObject::connect(form.ProgressBar1, &QProgressBar::valueChanged, &form, [&](int page) {
    if (page != exit_page) return;
    QTimer::singleShot(0, &form, [&] {
      if (by_button) {
        form.EXITX->click();
      } else {
        form.EXIT0->trigger();
      }
    });
  });
  form.Trans_wav16bit->trigger();
  return 3;
}
