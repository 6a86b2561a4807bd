// MprisService: the player on the session bus as a media player
// (org.mpris.MediaPlayer2.calendo, object /org/mpris/MediaPlayer2), so that
// desktop media keys and applets can play, pause, stop and seek it. Without
// a session bus, or when the name cannot be had, nothing is published and
// nothing is said.
#pragma once

#include <memory>

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

namespace calendo {

class Form1;
class MprisPlayerAdaptor;

class MprisService : public QObject {
  Q_OBJECT

 public:
  // The service for `form`, or null when it could not be published. The
  // form must outlive it.
  static std::unique_ptr<MprisService> Publish(Form1& form);
  ~MprisService() override;

  const QString& BusName() const { return bus_name_; }

 private:
  explicit MprisService(Form1& form);
  // Tells the bus which of the player's properties changed since last time.
  void AnnounceChanges();
  QVariantMap WatchedProperties() const;

  MprisPlayerAdaptor* player_ = nullptr;
  QString bus_name_;
  QTimer watch_;
  QVariantMap announced_;
};

}  // namespace calendo
