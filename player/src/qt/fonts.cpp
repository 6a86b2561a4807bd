#include "qt/fonts.h"

#include <QStringList>

namespace calendo {

QFont GothicFont(double points) {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                    QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                    QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
                    QStringLiteral("Droid Sans Fallback")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setWeight(QFont::Normal);
  return font;
}

QFont SansSerifFont(double points, bool bold) {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                    QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                    QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans"),
                    QStringLiteral("IPAPGothic")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  return font;
}

}  // namespace calendo
