#include "mpris/mpris_adaptors.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QFileInfo>
#include <QUrl>

#include "window/form1.h"

namespace calendo {
namespace {

bool HasFile(const Form1& form) {
  return form.PageCount > 0 && !form.PlayFileName.trimmed().isEmpty() &&
         !form.TotalTimeText.isEmpty();
}

// The time the label shows at the last page: the recording's length.
int32_t LengthMs(const Form1& form) {
  const int32_t last = form.PageCount - 1;
  if (last <= 0 || static_cast<int32_t>(form.SplpTable.size()) <= last) return 0;
  return imports::get_time(form.SplpTable.data(), static_cast<uint32_t>(last),
                           static_cast<int32_t>(form.Splp.page_ms[0]),
                           static_cast<int32_t>(form.Splp.page_ms[1]));
}

int32_t ClampedMs(qlonglong ms) {
  return static_cast<int32_t>(std::clamp<qlonglong>(ms, 0, std::numeric_limits<int32_t>::max()));
}

}  // namespace

MprisRootAdaptor::MprisRootAdaptor(QObject* holder, Form1& form)
    : QDBusAbstractAdaptor(holder), form_(form) {}

QString MprisRootAdaptor::Identity() const {
  return QString::fromLatin1(kProgramTitle);
}

QString MprisRootAdaptor::DesktopEntry() const {
  return QStringLiteral("calendo");
}

void MprisRootAdaptor::Raise() {
  QMetaObject::invokeMethod(
      &form_,
      [this] {
        form_.show();
        form_.raise();
        form_.activateWindow();
      },
      Qt::QueuedConnection);
}

void MprisRootAdaptor::Quit() {
  QMetaObject::invokeMethod(
      &form_, [this] { form_.RunHandler([this] { form_.EXITX_Click(); }); }, Qt::QueuedConnection);
}

MprisPlayerAdaptor::MprisPlayerAdaptor(QObject* holder, Form1& form)
    : QDBusAbstractAdaptor(holder), form_(form) {}

template <typename Action>
void MprisPlayerAdaptor::Queue(Action action) {
  QMetaObject::invokeMethod(
      &form_, [this, action] { form_.RunHandler([this, action] { action(form_); }); },
      Qt::QueuedConnection);
}

QString MprisPlayerAdaptor::PlaybackStatus() const {
  if (form_.PlayActive == 0) return QStringLiteral("Stopped");
  return form_.Paused() ? QStringLiteral("Paused") : QStringLiteral("Playing");
}

double MprisPlayerAdaptor::Rate() const {
  return form_.SpeedTenths() / 10.0;
}

void MprisPlayerAdaptor::SetRate(double rate) {
  // A rate of 0 would be a pause; the player has no such speed.
  if (!(rate > 0)) return;
  const auto tenths = static_cast<int32_t>(std::lround(rate * 10));
  Queue([tenths](Form1& form) { form.SetSpeedTenths(tenths); });
}

QVariantMap MprisPlayerAdaptor::Metadata() const {
  QVariantMap metadata;
  metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackId()));
  if (!HasFile(form_)) return metadata;
  const QFileInfo file(form_.PlayFileName);
  metadata.insert(QStringLiteral("xesam:title"), file.fileName());
  metadata.insert(QStringLiteral("xesam:url"),
                  QUrl::fromLocalFile(file.absoluteFilePath()).toString());
  metadata.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(LengthMs(form_)) * 1000);
  return metadata;
}

QDBusObjectPath MprisPlayerAdaptor::TrackId() const {
  return QDBusObjectPath(HasFile(form_)
                             ? QStringLiteral("/org/calendo/track/current")
                             : QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
}

qlonglong MprisPlayerAdaptor::Position() const {
  return HasFile(form_) ? static_cast<qlonglong>(form_.SliderTimeMs()) * 1000 : 0;
}

bool MprisPlayerAdaptor::CanPlay() const {
  return HasFile(form_);
}

void MprisPlayerAdaptor::Play() {
  Queue([](Form1& form) { form.Play(); });
}

void MprisPlayerAdaptor::Pause() {
  Queue([](Form1& form) { form.Pause(); });
}

void MprisPlayerAdaptor::PlayPause() {
  Queue([](Form1& form) { form.PlayPause(); });
}

void MprisPlayerAdaptor::Stop() {
  Queue([](Form1& form) { form.Stop(); });
}

void MprisPlayerAdaptor::Seek(qlonglong offset) {
  Queue([this, offset](Form1& form) {
    form.MoveToTime(ClampedMs(form.SliderTimeMs() + offset / 1000));
    emit Seeked(Position());
  });
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& track, qlonglong position) {
  // Another track, or a position outside this one: nothing to do.
  if (track != TrackId() || position < 0 || position / 1000 > LengthMs(form_)) return;
  Queue([this, position](Form1& form) {
    form.MoveToTime(ClampedMs(position / 1000));
    emit Seeked(Position());
  });
}

}  // namespace calendo
