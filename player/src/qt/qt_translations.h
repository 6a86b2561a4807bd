// Qt's own texts (file dialogs, standard buttons) in the window's language.
#pragma once

#include <string_view>

#include <QCoreApplication>

namespace calendo {

// For the Japanese build (`lang_code` "J") installs Qt's Japanese
// translations (qtbase_ja, from Qt's translations folder) into `app`; any
// other language keeps Qt's English. Returns whether translations were
// installed; a missing file leaves Qt in English.
bool InstallQtTranslations(QCoreApplication& app, std::string_view lang_code);

}  // namespace calendo
