#include "app/gui/dialogs/help_window.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QProcess>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/core/dialog_help_table.h"
#include "shell/qt/qt_path.h"

namespace kalder::gui {

namespace {

std::optional<std::filesystem::path>& overrideDirectory() {
    static std::optional<std::filesystem::path> directory;
    return directory;
}

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(tr("Kalder Help"));
    resize(640, 520);

    m_back = new QPushButton(tr("&Back"), this);
    m_back->setObjectName(QStringLiteral("back"));
    m_forward = new QPushButton(tr("&Forward"), this);
    m_forward->setObjectName(QStringLiteral("forward"));
    auto* contents = new QPushButton(tr("&Contents"), this);
    contents->setObjectName(QStringLiteral("contents"));
    auto* external = new QPushButton(tr("Open in &Web Browser"), this);
    external->setObjectName(QStringLiteral("openExternal"));
    m_back->setEnabled(false);
    m_forward->setEnabled(false);

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("browser"));
    m_browser->setOpenExternalLinks(true);
    if (auto dir = helpDirectory()) {
        m_browser->setSearchPaths({shell::toQString(*dir)});
    }

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_back);
    bar->addWidget(m_forward);
    bar->addWidget(contents);
    bar->addStretch();
    bar->addWidget(external);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_browser);

    connect(m_back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QPushButton::setEnabled);
    connect(contents, &QPushButton::clicked, this, [this] { showTopic(QStringLiteral("index")); });
    connect(external, &QPushButton::clicked, this, &HelpWindow::openInBrowser);
}

std::optional<std::filesystem::path> HelpWindow::helpDirectory() {
    if (overrideDirectory()) return overrideDirectory();
    const std::filesystem::path exeDir = shell::toPath(QCoreApplication::applicationDirPath());
    return app::findHelpDirectory(exeDir);
}

void HelpWindow::setHelpDirectory(std::optional<std::filesystem::path> directory) {
    overrideDirectory() = std::move(directory);
}

QUrl HelpWindow::topicUrl(const QString& topic) {
    const auto location = app::helpLocation(topic.toStdString());
    const auto dir = helpDirectory();
    if (!location || !dir) return {};
    const std::filesystem::path file = *dir / std::string(location->page);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return {};
    QUrl url = QUrl::fromLocalFile(shell::toQString(file));
    if (!location->anchor.empty())
        url.setFragment(QString::fromStdString(std::string(location->anchor)));
    return url;
}

bool HelpWindow::showTopic(const QString& topic) {
    const QUrl url = topicUrl(topic);
    if (url.isEmpty()) return false;
    m_browser->setSource(url);
    return true;
}

QUrl HelpWindow::currentUrl() const { return m_browser->source(); }

void HelpWindow::openInBrowser() {
    const QUrl url = currentUrl();
    if (url.isEmpty()) return;
    const QString target = url.hasFragment() ? url.toString() : url.toLocalFile();
    QProcess::startDetached(QStringLiteral("xdg-open"), {target});
    emit openedExternally(target);
}

}  // namespace kalder::gui
