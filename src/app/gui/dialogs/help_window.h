#pragma once

#include <QUrl>
#include <QWidget>
#include <filesystem>
#include <optional>

class QPushButton;
class QTextBrowser;

namespace kalder::gui {

// The help pages: a browser over the shipped HTML files with back and forward, and a button
// that opens the same page in the user's web browser.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // A window of its own, owned by `parent` (so it works beside a modal dialog and closes
    // with it).
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows a topic id of the dialog help table ("options_3") or "index". False when the topic
    // is unknown or its page is missing; the window then shows what it showed before.
    bool showTopic(const QString& topic);
    QUrl currentUrl() const;
    QTextBrowser* browser() const { return m_browser; }

    // Where the pages are: the folder set with setHelpDirectory, else the first of the usual
    // places beside the program that holds them.
    static std::optional<std::filesystem::path> helpDirectory();
    static void setHelpDirectory(std::optional<std::filesystem::path> directory);
    // The page file and anchor of a topic as a file URL; empty when unknown or missing.
    static QUrl topicUrl(const QString& topic);

signals:
    // The page opened in the web browser (the xdg-open argument).
    void openedExternally(const QString& url);

private:
    void openInBrowser();

    QTextBrowser* m_browser = nullptr;
    QPushButton* m_back = nullptr;
    QPushButton* m_forward = nullptr;
};

}  // namespace kalder::gui
