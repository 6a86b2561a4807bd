// File names as the system keeps them, bytes, in the QStrings the window
// holds. Names are UTF-8 as a rule, but files from old memory cards may carry
// names in another encoding (Latin-1 "café.vqr" is the byte E9), which Qt's
// own conversion turns into U+FFFD for good: the file can no longer be named.
// Here every byte that is not part of a valid UTF-8 sequence is kept as the
// lone surrogate U+DC80 + (byte − 0x80) and given back as that byte, so a
// name reaches the library calls as it came; ShownFileName() puts U+FFFD in
// their place where a name is shown.
// Plain functions: any thread.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace calendo {

// The name of these bytes; valid UTF-8 gives what QString::fromUtf8 gives.
QString FileNameFromBytes(QByteArrayView bytes);

// The bytes of a name made by FileNameFromBytes (or any other QString: its
// UTF-8, with the kept bytes given back).
QByteArray FileNameBytes(const QString& name);

// The name as it is shown: every kept byte is U+FFFD.
QString ShownFileName(const QString& name);

// Whether a file (not a folder) has that name; QFileInfo cannot tell for a
// name with kept bytes.
bool NamedFileExists(const QString& name);

}  // namespace calendo
