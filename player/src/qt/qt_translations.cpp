#include "qt/qt_translations.h"

#include <QLibraryInfo>
#include <QTranslator>

namespace calendo {

bool InstallQtTranslations(QCoreApplication& app, std::string_view lang_code) {
  if (lang_code != "J") return false;
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return false;
  }
  return true;
}

}  // namespace calendo
