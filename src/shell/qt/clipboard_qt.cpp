#include "shell/qt/clipboard_qt.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <mutex>

#include "image/bitmap32.h"

namespace kalder::shell {

std::unique_ptr<QMimeData> makeImageMimeData(const image::Bitmap32& frame,
                                             const std::filesystem::path& file) {
    if (frame.isEmpty()) return nullptr;
    QImage picture;
    {
        // Blue, green, red, unused bytes are Qt's RGB32 on little-endian machines; the copy
        // detaches the picture from our pixels before the lock is released.
        std::lock_guard lock(frame.pixelLock());
        picture = QImage(frame.pixels(), frame.width(), frame.height(),
                         static_cast<qsizetype>(frame.stride()), QImage::Format_RGB32)
                      .copy();
    }
    if (picture.isNull()) return nullptr;
    auto data = std::make_unique<QMimeData>();
    data->setImageData(picture);
    const QString path = QString::fromStdString(std::filesystem::absolute(file).string());
    data->setText(path);
    const QUrl url = QUrl::fromLocalFile(path);
    data->setUrls({url});
    data->setData(QStringLiteral("x-special/gnome-copied-files"),
                  QByteArray("copy\n") + url.toEncoded());
    return data;
}

bool copyImageToClipboard(const image::Bitmap32& frame, const std::filesystem::path& file) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return false;
    std::unique_ptr<QMimeData> data = makeImageMimeData(frame, file);
    if (!data) return false;
    clipboard->setMimeData(data.release());  // the clipboard owns it now
    return true;
}

}  // namespace kalder::shell
