// calendo: the player's program. The window does everything; main only sets
// up the application, the host and the event pump, runs the window's
// start-up, shows it and runs the event loop.
#include <cstdio>

#include <QApplication>
#include <QScreen>
#include <QThread>

#include "calendo/client/pending_file_signals.h"
#include "command_options.h"
#include "desktop/display_presence.h"
#include "desktop/file_size_limit.h"
#include "mpris/mpris_service.h"
#include "pedal/pedal_reader.h"
#include "platform/dialogs.h"
#include "qt/event_pump.h"
#include "qt/file_name_bytes.h"
#include "qt/qt_host.h"
#include "qt/qt_translations.h"
#include "window/form1.h"

int main(int argc, char** argv) {
  if (const auto status = calendo::AnswerInformationOption(argc, argv, stdout)) return *status;
  if (!calendo::CanShowWindow()) {
    std::fprintf(stderr, "%s\n", calendo::kNoDisplayText);
    return 1;
  }
  calendo::TreatFileSizeLimitAsFullDisk();
  // SIGINT, SIGTERM and SIGHUP remove a conversion's temporary file first.
  calendo::client::RemovePendingFilesOnSignals();
  QApplication app(argc, argv);
  calendo::InstallQtTranslations(app, calendo::LangCode);
  // The arguments as their bytes: a file name need not be UTF-8.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments.append(calendo::FileNameFromBytes(argv[i]));
  const bool keep_settings = !calendo::TakeNoSettingsOption(arguments);
  calendo::QtHost host(arguments);
  calendo::EventPump pump;

  // Message boxes of the libraries show through the same host as the window's,
  // on the window thread also when a library asks from another thread.
  platform::ScopedMessageBoxHandler boxes(
      [&host, &app](const platform::MessageBoxRequest& request) {
        int32_t answer = 0;
        auto show = [&] {
          answer = host.MsgBox(QString::fromStdString(request.text), request.style,
                               QString::fromStdString(request.title));
        };
        if (QThread::currentThread() == app.thread()) {
          show();
        } else {
          QMetaObject::invokeMethod(&app, show, Qt::BlockingQueuedConnection);
        }
        return answer;
      });

  calendo::Form1 form(host, pump);
  host.SetOwner(&form);
  form.KeepSettingsIn(keep_settings ? calendo::KeptSettings::ForUser()
                                    : calendo::KeptSettings::InMemory());
  form.RunHandler([&form] { form.Form_Load(); });

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    form.move(area.center() - QPoint(form.width() / 2, form.height() / 2));
  }
  form.show();
  const std::unique_ptr<calendo::MprisService> mpris = calendo::MprisService::Publish(form);
  const std::unique_ptr<calendo::PedalReader> pedals = form.ListenToPedals();
  const int result = QApplication::exec();
  form.RunHandler([&form] { form.Form_Terminate(); });
  return result;
}
