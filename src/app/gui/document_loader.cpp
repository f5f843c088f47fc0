#include "app/gui/document_loader.h"

#include <QMetaObject>

#include "image/image_document.h"

namespace kalder::gui {

DocumentLoader::DocumentLoader(QObject* parent) : QObject(parent) {
    qRegisterMetaType<std::shared_ptr<kalder::image::ImageDocument>>();
}

DocumentLoader::~DocumentLoader() { stopWorker(); }

void DocumentLoader::stopWorker() {
    if (m_cancel) m_cancel->cancel();
    if (m_worker.joinable()) m_worker.join();
}

void DocumentLoader::cancel() { stopWorker(); }

void DocumentLoader::request(const image::LoadOptions& options) {
    stopWorker();
    auto cancel = std::make_shared<image::CancelFlag>();
    m_cancel = cancel;
    m_worker = std::thread([this, options, cancel] {
        auto document = std::make_shared<image::ImageDocument>();
        bool ok = document->Open(options, cancel.get()) && document->AddPage();
        if (ok) {
            QMetaObject::invokeMethod(this, [this, document, cancel] {
                if (!cancel->isCancelled()) emit pageStarted(document);
            }, Qt::QueuedConnection);
            ok = document->DecodePage();
        }
        QMetaObject::invokeMethod(this, [this, document, cancel, ok] {
            if (!cancel->isCancelled()) emit finished(document, ok);
        }, Qt::QueuedConnection);
    });
}

}  // namespace kalder::gui
