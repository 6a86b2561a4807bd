// The file-kind rule of calendo/client/file_kind.h for the window's QString names.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include <QByteArray>
#include <QString>

#include "calendo/client/file_kind.h"

namespace calendo {

inline std::optional<Container> RecorderContainerOfName(const QString& name) {
  const QByteArray last = name.right(3).toUtf8();
  return RecorderContainerOfName(
      std::string_view(last.constData(), static_cast<std::size_t>(last.size())));
}

inline int16_t FileKindOfName(const QString& name) {
  return file_kind_of(RecorderContainerOfName(name).value_or(Container::Vqm));
}

}  // namespace calendo
