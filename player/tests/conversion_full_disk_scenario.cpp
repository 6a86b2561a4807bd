// A player process converting on a disk that fills: its file-size limit is
// set to LIMIT bytes before it starts, as `ulimit -f` would, so every write
// past that point fails.
//
// Usage: player_conversion_full_disk_scenario LIMIT LIBRARY_DIR RECORDER WAV
// Prints each message box's text on a line of standard output; ends with 0
// when the conversion came back, 2 on bad usage.
#include <sys/resource.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "conversion_fixture.h"
#include "desktop/file_size_limit.h"
#include "qt/event_pump.h"
#include "scripted_host.h"
#include "window/form1.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const rlim_t bytes = std::strtoull(argv[1], nullptr, 10);
  const rlimit limit{bytes, bytes};
  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
  calendo::TreatFileSizeLimitAsFullDisk();
  QApplication app(argc, argv);
  calendo::binding::SetLibraryDirectory(argv[2]);
  calendo::testing::ScriptedHost host;
  calendo::EventPump pump;
  calendo::Form1 form(host, pump, "E");
  form.RunHandler([&] { form.Form_Load(); });
  calendo::testing::PutOpened(form, argv[3]);
  host.save_answers.push_back(QString::fromLocal8Bit(argv[4]));
  form.Trans_wav16bit->trigger();
  for (const auto& box : host.boxes) std::printf("%s\n", box.text.toUtf8().constData());
  return 0;
}
