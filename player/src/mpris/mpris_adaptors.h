// The two interfaces a media player shows on the session bus at
// /org/mpris/MediaPlayer2: org.mpris.MediaPlayer2 (the application) and
// org.mpris.MediaPlayer2.Player (the transport). Both are thin: every call is
// queued to the window, which runs it as it runs its own buttons and keys, so
// a call that starts a playback answers at once instead of after the playback.
// Positions and lengths are in microseconds of the recording's sound
// (audio_clock.h), not of the window's label; Rate is the Speed menu's tempo,
// or the double speed of cue and review.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

namespace calendo {

class Form1;

class MprisRootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  MprisRootAdaptor(QObject* holder, Form1& form);

  bool CanQuit() const { return true; }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const;
  QString DesktopEntry() const;
  QStringList SupportedUriSchemes() const;
  QStringList SupportedMimeTypes() const;

 public slots:
  void Raise();
  void Quit();

 private:
  Form1& form_;
};

class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(double MinimumRate READ MinimumRate)
  Q_PROPERTY(double MaximumRate READ MaximumRate)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(bool CanGoNext READ CanGoNext)
  Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ CanPause)
  Q_PROPERTY(bool CanSeek READ CanSeek)
  Q_PROPERTY(bool CanControl READ CanControl)

 public:
  MprisPlayerAdaptor(QObject* holder, Form1& form);

  QString PlaybackStatus() const;
  double Rate() const;
  void SetRate(double rate);
  double MinimumRate() const { return 0.5; }
  double MaximumRate() const { return 2.0; }
  QVariantMap Metadata() const;
  double Volume() const { return 1.0; }
  void SetVolume(double) {}  // the player has no volume of its own
  qlonglong Position() const;
  bool CanGoNext() const { return false; }
  bool CanGoPrevious() const { return false; }
  bool CanPlay() const;
  bool CanPause() const { return CanPlay(); }
  bool CanSeek() const { return CanPlay(); }
  bool CanControl() const { return true; }

  // The id of the open file's track; NoTrack without one.
  QDBusObjectPath TrackId() const;

 public slots:
  void Play();
  void Pause();
  void PlayPause();
  void Stop();
  void Next() {}
  void Previous() {}
  void Seek(qlonglong offset);
  void SetPosition(const QDBusObjectPath& track, qlonglong position);
  // A file:// recorder file opens and plays as a dropped one; anything else
  // is answered with an error.
  void OpenUri(const QString& uri, const QDBusMessage& message);

 signals:
  void Seeked(qlonglong position);

 private:
  // Runs `action` on the window from the event loop, as a handler.
  template <typename Action>
  void Queue(Action action);

  Form1& form_;
};

}  // namespace calendo
