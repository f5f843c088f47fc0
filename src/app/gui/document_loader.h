#pragma once

#include <memory>
#include <thread>

#include <QObject>

#include "image/load_options.h"
#include "image/sinks.h"

namespace kalder::image {
class ImageDocument;
}

namespace kalder::gui {

// Decodes one document at a time on a worker thread. A new request cancels the one running.
// The page is announced as soon as its bitmap exists, so the view can show rows as they arrive.
class DocumentLoader : public QObject {
    Q_OBJECT
public:
    explicit DocumentLoader(QObject* parent = nullptr);
    ~DocumentLoader() override;

    void request(const image::LoadOptions& options);
    void cancel();

signals:
    // The first page's bitmap exists and is being filled.
    void pageStarted(std::shared_ptr<kalder::image::ImageDocument> document);
    // Decoding ended; ok is false when the file could not be read.
    void finished(std::shared_ptr<kalder::image::ImageDocument> document, bool ok);

private:
    void stopWorker();

    std::thread m_worker;
    std::shared_ptr<image::CancelFlag> m_cancel;
};

}  // namespace kalder::gui
