#include "qt/transport_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

namespace calendo {
namespace {

// Colours of the classic 16-colour palette.
const QColor kBlack(0, 0, 0);
const QColor kMaroon(128, 0, 0);
const QColor kGreen(0, 128, 0);
const QColor kNavy(0, 0, 128);
const QColor kGray(128, 128, 128);
const QColor kSilver(192, 192, 192);
const QColor kRed(255, 0, 0);
const QColor kLime(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kWhite(255, 255, 255);

QPolygonF Triangle(double left, double top, double width, double height, bool pointing_right) {
  const double tip = pointing_right ? left + width : left;
  const double base = pointing_right ? left : left + width;
  return QPolygonF(
      {QPointF(base, top), QPointF(tip, top + height / 2), QPointF(base, top + height)});
}

void DrawShape(QPainter& painter, const QPolygonF& shape, const QColor& fill, const QColor& edge) {
  painter.setPen(QPen(edge, 1));
  painter.setBrush(fill);
  painter.drawPolygon(shape);
}

}  // namespace

QPixmap DrawTransportIcon(TransportIcon kind, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  // Whole pixels only, so that the picture keeps to the palette's colours.
  painter.setRenderHint(QPainter::Antialiasing, false);
  const double s = size;
  const double m = s * 0.15;  // margin
  switch (kind) {
    case TransportIcon::play:
      DrawShape(painter, Triangle(s * 0.28, m, s * 0.5, s - 2 * m, true), kLime, kGreen);
      break;
    case TransportIcon::stop:
      DrawShape(painter, QPolygonF(QRectF(s * 0.25, s * 0.25, s * 0.5, s * 0.5)), kRed, kMaroon);
      break;
    case TransportIcon::cue:
      DrawShape(painter, Triangle(m, s * 0.22, s * 0.36, s * 0.56, true), kBlue, kNavy);
      DrawShape(painter, Triangle(m + s * 0.36, s * 0.22, s * 0.36, s * 0.56, true), kBlue, kNavy);
      break;
    case TransportIcon::review:
      DrawShape(painter, Triangle(s - m - s * 0.72, s * 0.22, s * 0.36, s * 0.56, false), kBlue,
                kNavy);
      DrawShape(painter, Triangle(s - m - s * 0.36, s * 0.22, s * 0.36, s * 0.56, false), kBlue,
                kNavy);
      break;
  }
  return pixmap;
}

QIcon MakeTransportIcon(TransportIcon kind) {
  QIcon icon;
  for (int size : {16, 18, 20, 24, 32}) {
    const QPixmap pixmap = DrawTransportIcon(kind, size);
    icon.addPixmap(pixmap, QIcon::Normal);
    // A disabled button shows the shape in grey.
    QPixmap grey(pixmap.size());
    grey.fill(Qt::transparent);
    QPainter painter(&grey);
    painter.drawPixmap(0, 0, pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(grey.rect(), kGray);
    painter.end();
    icon.addPixmap(grey, QIcon::Disabled);
  }
  return icon;
}

QPixmap DrawReelFrame(int index) {
  QPixmap pixmap(32, 32);
  pixmap.fill(kSilver);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(kBlack, 1));
  painter.setBrush(kWhite);
  painter.drawEllipse(QRect(3, 3, 25, 25));
  painter.setBrush(kGray);
  painter.drawEllipse(QRect(13, 13, 5, 5));
  // Three spokes, turned a quarter of their spacing per frame.
  painter.translate(15.5, 15.5);
  painter.rotate(30.0 * (index & 3));
  painter.setPen(QPen(kNavy, 2));
  for (int spoke = 0; spoke < 3; ++spoke) {
    painter.drawLine(QPointF(0, -4), QPointF(0, -11));
    painter.rotate(120.0);
  }
  return pixmap;
}

}  // namespace calendo
