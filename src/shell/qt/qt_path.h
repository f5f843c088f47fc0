#pragma once

#include <QString>
#include <QUrl>
#include <filesystem>

namespace kalder::shell {

// File names are bytes; Qt holds text. Every path that crosses into Qt or back goes through
// these, in the file-name encoding of the locale. A name that is not valid in that encoding
// comes back from Qt with replacement characters, so Qt only shows such paths: what reaches
// another program (URIs) is made from the raw bytes below.
QString toQString(const std::filesystem::path& path);
std::filesystem::path toPath(const QString& text);

// The file's URI, percent-encoded from its bytes (a byte 0xE9 stays %E9).
QUrl toUrl(const std::filesystem::path& path);
// The local file a URI names, decoded to bytes; empty for anything but a local file.
std::filesystem::path toPath(const QUrl& url);

}  // namespace kalder::shell
