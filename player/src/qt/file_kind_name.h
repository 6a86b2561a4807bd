// The file-kind rule of calendo/client/file_kind.h for the window's QString names.
#pragma once

#include <cstdint>
#include <string_view>

#include <QByteArray>
#include <QString>

#include "calendo/client/file_kind.h"

namespace calendo {

inline int16_t RecorderKindOfName(const QString& name) {
  const QByteArray last = name.right(3).toUtf8();
  return RecorderKindOfName(
      std::string_view(last.constData(), static_cast<std::size_t>(last.size())));
}

inline int16_t FileKindOfName(const QString& name) {
  return RecorderKindOfName(name) == kKindVqr ? kKindVqr : kKindVqm;
}

}  // namespace calendo
