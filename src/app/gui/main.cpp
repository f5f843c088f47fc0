// kalder: the image viewer.
#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/core/command_ids.h"
#include "app/core/command_line.h"
#include "app/core/settings.h"
#include "app/core/shortcuts.h"
#include "app/core/startup.h"
#include "app/core/translatable.h"
#include "app/gui/display_setup.h"
#include "app/gui/icons.h"
#include "app/gui/main_window.h"
#include "app/gui/quit_on_signal.h"
#include "app/gui/tools/associations/associations_dialog.h"
#include "app/gui/translations.h"
#include "base/thread_pool.h"
#include "image/cdx_loader.h"
#include "kalder_config.h"
#include "view/thumbnail_head_start.h"

namespace {

// The primary screen as the settings check sees it.
class QtScreenInfo final : public kalder::app::ScreenInfo {
public:
    kalder::app::ScreenSize screenSize() const override {
        const QRect r = screen()->geometry();
        return {r.width(), r.height()};
    }
    kalder::app::Rect workArea() const override {
        const QRect r = screen()->availableGeometry();
        return {r.left(), r.top(), r.right() + 1, r.bottom() + 1};
    }
    std::int32_t horizontalScrollBarHeight() const override {
        return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    }

private:
    static QScreen* screen() { return QGuiApplication::primaryScreen(); }
};

class QtStartupUi final : public kalder::app::StartupUi {
public:
    explicit QtStartupUi(kalder::gui::MainWindow* owner) : m_owner(owner) {}
    bool askYesNo(std::string_view caption, std::string_view text) override {
        return QMessageBox::question(m_owner, startupText(caption), startupText(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }
    bool askWithChoice(std::string_view caption, std::string_view text, std::string_view choice,
                       bool& chosen) override {
        QMessageBox box(QMessageBox::Question, startupText(caption), startupText(text),
                        QMessageBox::Yes | QMessageBox::No, m_owner);
        auto* check = new QCheckBox(startupText(choice));
        check->setAccessibleName(check->text());
        box.setCheckBox(check);
        const bool yes = box.exec() == QMessageBox::Yes;
        chosen = check->isChecked();
        return yes;
    }
    void openOptions() override {
        // "&Options..." once the event loop runs.
        QMetaObject::invokeMethod(
            m_owner, [w = m_owner] { w->runCommand(kalder::app::cmd::kOptions); },
            Qt::QueuedConnection);
    }
    void useKeyScheme(kalder::app::KeyScheme scheme) override {
        kalder::app::Settings& s = m_owner->settings();
        s.shortcuts = kalder::app::switchKeyScheme(s.shortcuts, s.keyScheme, scheme);
        s.keyScheme = scheme;
        m_owner->applySettings();
    }

private:
    static QString startupText(std::string_view text) {
        return kalder::gui::coreText(kalder::app::kStartupContext, text);
    }

    kalder::gui::MainWindow* m_owner;
};

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt looks for a display, so they work over ssh and in packaging checks.
    if (const auto text = kalder::app::informationRequest({argv + 1, argv + argc})) {
        std::fputs(text->c_str(), stdout);
        return 0;
    }
    // The first decode and the first thumbnail written need the codec module: it loads on
    // another core while Qt starts.
    kalder::base::ThreadPool::shared().post([] { kalder::image::cdx::preloadCore(); },
                                            kalder::base::ThreadPool::Priority::Background);
    QApplication app(argc, argv);
    kalder::gui::installTranslations(QLocale::system());
    kalder::gui::applyDesktopLook();
    QApplication::setApplicationName(QStringLiteral("Kalder"));
    QApplication::setApplicationVersion(QString::fromLatin1(kalder::config::kVersion));
    // The desktop entry's id: Wayland compositors match the window to the entry (and its icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kalder.Kalder"));

    QtScreenInfo screen;
    const auto environment = kalder::app::StartupEnvironment::forProcess(screen);
    kalder::app::DesktopAssociationHooks associations(environment.registryFile,
                                                      environment.executablePath);
    kalder::app::ApplicationCore core(environment, &associations);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto exists = [](const std::string& path) {
        std::error_code ec;
        return std::filesystem::exists(path, ec);
    };
    if (core.startUp(kalder::app::joinArguments(args, exists)) !=
        kalder::app::StartupResult::ShowWindow)
        return core.exitInstance();

    // The first thumbnails of a folder are begun while the window is built; the window's own
    // loader takes them from the shared cache.
    auto headStart = kalder::gui::startThumbnailHeadStart(
        core.settings(), core.openRequest(),
        QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->devicePixelRatio()
                                         : 1.0);
    kalder::gui::MainWindow window;
    window.settings() = core.settings();
    window.placeWindow(core.settings().windowRect);
    if (core.settings().windowShowCmd == kalder::app::kShowMaximized)
        window.setWindowState(Qt::WindowMaximized);
    window.applySettings();
    if (!window.Create(core.openRequest())) {
        core.settings() = window.settings();
        return core.exitInstance();
    }
    // The window's loader runs now.
    if (headStart) headStart->stop();
    window.setSettingsSaver([&core](const kalder::app::Settings& s) {
        core.settings() = s;
        return core.saveSettings();
    });
    // SIGTERM and SIGHUP (logging out, a service manager) end the loop like "Exit" does.
    kalder::gui::QuitOnSignal quitOnSignal;
    window.show();
    associations.setSettings(&window.settings());
    associations.setMismatchHandler(
        [&window] { kalder::gui::askAboutChangedAssociations(window.toolContext()); });
    QtStartupUi ui(&window);
    core.afterMainWindowShown(ui);
    if (!quitOnSignal.requested()) app.exec();
    // After a signal the window is still open; closing it takes its last state (the sort order)
    // into the options.
    window.close();
    // The window changed its options while it ran; those are what the next start finds.
    core.settings() = window.settings();
    return core.exitInstance();
}
