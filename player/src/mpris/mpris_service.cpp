#include "mpris/mpris_service.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include "mpris/mpris_adaptors.h"

namespace calendo {
namespace {

const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kBusName = QStringLiteral("org.mpris.MediaPlayer2.calendo");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

// Changes in state reach the bus within this time.
constexpr int kWatchMs = 200;

}  // namespace

MprisService::MprisService(Form1& form) {
  new MprisRootAdaptor(this, form);
  player_ = new MprisPlayerAdaptor(this, form);
  watch_.setInterval(kWatchMs);
  connect(&watch_, &QTimer::timeout, this, &MprisService::AnnounceChanges);
}

MprisService::~MprisService() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected() && !bus_name_.isEmpty()) {
    bus.unregisterObject(kObjectPath);
    bus.unregisterService(bus_name_);
  }
}

std::unique_ptr<MprisService> MprisService::Publish(Form1& form) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return nullptr;
  std::unique_ptr<MprisService> service(new MprisService(form));
  if (!bus.registerObject(kObjectPath, service.get(), QDBusConnection::ExportAdaptors)) {
    return nullptr;
  }
  // A second player on the same bus takes a name of its own, as media
  // players do.
  for (const QString& name :
       {kBusName, kBusName + QStringLiteral(".instance") + QString::number(getpid())}) {
    if (bus.registerService(name)) {
      service->bus_name_ = name;
      break;
    }
  }
  if (service->bus_name_.isEmpty()) {
    bus.unregisterObject(kObjectPath);
    return nullptr;
  }
  service->announced_ = service->WatchedProperties();
  service->watch_.start();
  return service;
}

QVariantMap MprisService::WatchedProperties() const {
  return {
      {QStringLiteral("PlaybackStatus"), player_->PlaybackStatus()},
      {QStringLiteral("Rate"), player_->Rate()},
      {QStringLiteral("Metadata"), player_->Metadata()},
      {QStringLiteral("CanPlay"), player_->CanPlay()},
      {QStringLiteral("CanPause"), player_->CanPause()},
      {QStringLiteral("CanSeek"), player_->CanSeek()},
  };
}

void MprisService::AnnounceChanges() {
  const QVariantMap now = WatchedProperties();
  QVariantMap changed;
  for (auto it = now.begin(); it != now.end(); ++it) {
    const bool same = it.value() == announced_.value(it.key());
    if (!same) changed.insert(it.key(), it.value());
  }
  if (changed.isEmpty()) return;
  announced_ = now;
  QDBusMessage signal =
      QDBusMessage::createSignal(kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                 QStringLiteral("PropertiesChanged"));
  signal << kPlayerInterface << changed << QStringList();
  QDBusConnection::sessionBus().send(signal);
}

}  // namespace calendo
