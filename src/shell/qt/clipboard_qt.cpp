#include "shell/qt/clipboard_qt.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <limits>
#include <mutex>

#include "base/read_file.h"
#include "image/bitmap32.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory.h"
#include "shell/qt/qt_path.h"

namespace kalder::shell {

namespace {

// The frame as a file of the writer's format, read back; empty when it could not be written.
// Our writers write files only, so the bytes pass through a private temporary folder.
QByteArray encodeFrame(const image::Bitmap32& frame, const char* extension) {
    const QTemporaryDir dir;
    if (!dir.isValid()) return {};
    const std::filesystem::path target = toPath(dir.path()) / (std::string("frame.") + extension);
    std::unique_ptr<image::ImageWriter> writer = image::createWriterForExtension(extension);
    if (!writer) return {};
    image::WriterImage picture;
    picture.width = frame.width();
    picture.height = frame.height();
    picture.bits = 32;
    image::Status s = writer->Open(target);
    if (s) {
        std::lock_guard lock(frame.pixelLock());
        picture.pixels = frame.pixels();
        s = writer->Write(picture);
    }
    if (s) s = writer->Close();
    if (!s) return {};
    // Our own file, as large as the picture makes it.
    const auto bytes = base::readTextFile(target, std::numeric_limits<std::size_t>::max());
    if (!bytes.ok()) return {};
    return QByteArray::fromStdString(*bytes);
}

}  // namespace

std::unique_ptr<QMimeData> makeImageMimeData(const image::Bitmap32& frame,
                                             const std::filesystem::path& file) {
    if (frame.isEmpty()) return nullptr;
    const QByteArray png = encodeFrame(frame, "png");
    const QByteArray bmp = encodeFrame(frame, "bmp");
    if (png.isEmpty() || bmp.isEmpty()) return nullptr;
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("image/png"), png);
    data->setData(QStringLiteral("image/bmp"), bmp);
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    if (ec) absolute = file;
    data->setText(toQString(absolute));
    const QUrl url = toUrl(absolute);
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
