#include "shell/qt/qt_path.h"

#include <QFile>

#include "shell/trash.h"

namespace kalder::shell {

QString toQString(const std::filesystem::path& path) {
    const std::string& bytes = path.native();
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::filesystem::path toPath(const QString& text) {
    return std::filesystem::path(QFile::encodeName(text).toStdString());
}

QUrl toUrl(const std::filesystem::path& path) {
    // Encoded by us from the bytes: Qt keeps a %XX that is not UTF-8 as it is.
    return QUrl::fromEncoded(
        QByteArray::fromStdString("file://" + Trash::encodePath(path.native())), QUrl::StrictMode);
}

std::filesystem::path toPath(const QUrl& url) {
    if (!url.isLocalFile()) return {};
    const QByteArray bytes =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return std::filesystem::path(bytes.toStdString());
}

}  // namespace kalder::shell
