// kalder: the image viewer.
#include <QApplication>

#include "app/gui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kalder"));
    kalder::gui::MainWindow window;
    if (argc > 1) {
        const std::filesystem::path target = argv[1];
        std::error_code ec;
        const bool ok = std::filesystem::is_directory(target, ec) ? window.openFolder(target)
                                                                  : window.openFile(target);
        if (!ok) return 0;
    }
    window.show();
    return app.exec();
}
