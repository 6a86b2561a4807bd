#include "mpris/mpris_adaptors.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QDBusConnection>
#include <QDBusError>
#include <QFileInfo>
#include <QUrl>

#include "mpris/audio_clock.h"
#include "qt/file_kind_name.h"
#include "qt/file_name_bytes.h"
#include "window/form1.h"

namespace calendo {
namespace {

bool HasFile(const Form1& form) {
  return form.PageCount > 0 && !form.PlayFileName.trimmed().isEmpty() &&
         !form.TotalTimeText.isEmpty();
}

// The open file's clock; one of no pages while the table is not filled.
AudioClock ClockOf(const Form1& form) {
  const auto pages = static_cast<std::size_t>(std::max(0, form.PageCount));
  if (form.SplpTable.size() < pages) return AudioClock(form.Splp, {});
  return AudioClock(form.Splp, std::span<const uint8_t>(form.SplpTable.data(), pages));
}

// The slider to `page`, through the label's time of that page, which the
// window resolves to that very page (the label's times rise page by page).
void MoveToPage(Form1& form, int32_t page) {
  int32_t ms = 0;
  if (page > 0 && page < static_cast<int32_t>(form.SplpTable.size())) {
    ms = imports::get_time(form.SplpTable.data(), static_cast<uint32_t>(page),
                           static_cast<int32_t>(form.Splp.page_ms[0]),
                           static_cast<int32_t>(form.Splp.page_ms[1]));
  }
  form.MoveToTime(ms);
}

// Cue and review play at twice the speed, whatever the Speed menu says.
constexpr double kCueRate = 2.0;

}  // namespace

MprisRootAdaptor::MprisRootAdaptor(QObject* holder, Form1& form)
    : QDBusAbstractAdaptor(holder), form_(form) {}

QString MprisRootAdaptor::Identity() const {
  return QString::fromLatin1(kProgramTitle);
}

QString MprisRootAdaptor::DesktopEntry() const {
  return QStringLiteral("calendo");
}

QStringList MprisRootAdaptor::SupportedUriSchemes() const {
  return {QStringLiteral("file")};
}

QStringList MprisRootAdaptor::SupportedMimeTypes() const {
  return {QStringLiteral("audio/x-vqr"), QStringLiteral("audio/x-vqm")};
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
  if (form_.PlayActive != 0 && form_.PlayMode != 0) return kCueRate;
  return form_.SpeedTenths() / 10.0;
}

void MprisPlayerAdaptor::SetRate(double rate) {
  // A rate of 0 would be a pause, which the player has not as a speed; NaN
  // is no rate at all. Both are ignored.
  if (!(rate > 0)) return;
  // Clamped first, so that a huge rate (or infinity) is the fastest speed.
  const double kept = std::clamp(rate, MinimumRate(), MaximumRate());
  const auto tenths = static_cast<int32_t>(std::lround(kept * 10));
  Queue([tenths](Form1& form) { form.SetSpeedTenths(tenths); });
}

QVariantMap MprisPlayerAdaptor::Metadata() const {
  QVariantMap metadata;
  metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackId()));
  if (!HasFile(form_)) return metadata;
  const QFileInfo file(form_.PlayFileName);
  metadata.insert(QStringLiteral("xesam:title"), ShownFileName(file.fileName()));
  // The URL names the file's bytes, percent-encoded, whatever their encoding.
  const QByteArray path = FileNameBytes(file.absoluteFilePath());
  metadata.insert(QStringLiteral("xesam:url"),
                  QString::fromLatin1("file://" + path.toPercentEncoding("/")));
  metadata.insert(QStringLiteral("mpris:length"),
                  static_cast<qlonglong>(ClockOf(form_).LengthUs()));
  return metadata;
}

QDBusObjectPath MprisPlayerAdaptor::TrackId() const {
  return QDBusObjectPath(HasFile(form_)
                             ? QStringLiteral("/org/calendo/track/current")
                             : QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
}

qlonglong MprisPlayerAdaptor::Position() const {
  if (!HasFile(form_)) return 0;
  return static_cast<qlonglong>(ClockOf(form_).PageStartUs(form_.PlaySlider->value()));
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
    if (!HasFile(form)) return;
    const qlonglong now = Position();
    // Saturating: an offset near the ends of its range cannot wrap.
    const qlonglong target = offset > 0 ? (now > std::numeric_limits<qlonglong>::max() - offset
                                               ? std::numeric_limits<qlonglong>::max()
                                               : now + offset)
                                        : std::max<qlonglong>(0, now + offset);
    MoveToPage(form, ClockOf(form).NearestPage(target));
    emit Seeked(Position());
  });
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& track, qlonglong position) {
  // Another track, or a position outside this one: nothing to do.
  if (track != TrackId() || position < 0 || position > ClockOf(form_).LengthUs()) return;
  Queue([this, position](Form1& form) {
    if (!HasFile(form)) return;
    MoveToPage(form, ClockOf(form).NearestPage(position));
    emit Seeked(Position());
  });
}

void MprisPlayerAdaptor::OpenUri(const QString& uri, const QDBusMessage& message) {
  const QUrl url(uri);
  // The path's bytes as the URI spells them, so that any name can be opened.
  const QString path = url.isLocalFile() ? FileNameFromBytes(QByteArray::fromPercentEncoding(
                                               url.path(QUrl::FullyEncoded).toLatin1()))
                                         : QString();
  QString refusal;
  if (path.isEmpty()) {
    refusal = QStringLiteral("only file:// URIs can be opened: ") + uri;
  } else if (!RecorderContainerOfName(path) || !NamedFileExists(path)) {
    refusal = QStringLiteral("not a recorder file (.vqr or .vqm): ") + path;
  } else if (form_.ConvActive != 0) {
    refusal = QStringLiteral("a conversion is running");
  }
  if (!refusal.isEmpty()) {
    message.setDelayedReply(true);
    QDBusConnection::sessionBus().send(message.createErrorReply(QDBusError::InvalidArgs, refusal));
    return;
  }
  // As a drop: opened and played once the call is answered.
  Queue([path](Form1& form) {
    if (form.ConvActive == 0) form.MsgCtl_OnCopyData(0, path);
  });
}

}  // namespace calendo
