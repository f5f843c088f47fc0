// The browser model's headers name a member "slots", which Qt's keyword macros would eat: they
// come before any Qt header.
#include "app/gui/window_keys.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <utility>

#include "app/core/command_ids.h"
#include "app/gui/browser_pane.h"
#include "app/gui/dialogs/dialog_base.h"
#include "app/gui/main_window.h"
#include "app/gui/main_window_p.h"
#include "app/gui/menus.h"
#include "app/gui/properties_panel.h"
#include "app/gui/thumbnail_browser.h"
#include "app/gui/toolbar.h"

namespace kalder::gui {
namespace cmd = app::cmd;

namespace {

// While a name or a text is being typed (a file or folder renamed in place, an input field),
// every key belongs to that field: a single-letter command would eat the letter, Enter would
// switch to the viewer and Escape might close the program.
bool typingHasFocus() {
    QWidget* f = QApplication::focusWidget();
    return qobject_cast<QLineEdit*>(f) || qobject_cast<QTextEdit*>(f) ||
           qobject_cast<QPlainTextEdit*>(f) || qobject_cast<QAbstractSpinBox*>(f);
}

}  // namespace

WindowKeys::WindowKeys(MainWindow& window, WindowParts& parts) : m_w(window), m_p(parts) {}

WindowKeys::~WindowKeys() {
    if (m_enabled) qApp->removeEventFilter(this);
}

void WindowKeys::enable() {
    if (std::exchange(m_enabled, true)) return;
    qApp->installEventFilter(this);
}

bool WindowKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if (key->key() == Qt::Key_F1 &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && widget &&
            contextHelp(widget->window()))
            return true;
    }
    if (event->type() == QEvent::KeyPress && m_enabled && !typingHasFocus()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == &m_w) {
            auto* key = static_cast<QKeyEvent*>(event);
            // The browser moves its selection with the arrow keys, Shift extending it; the
            // viewer's Shift+arrow commands do not apply there.
            const bool arrow = key->key() == Qt::Key_Left || key->key() == Qt::Key_Right ||
                               key->key() == Qt::Key_Up || key->key() == Qt::Key_Down;
            const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
            // The folder tree too keeps its arrows (and Delete), which a key scheme may use.
            const bool list = watched == m_p.browser->fileList() ||
                              watched == m_p.browser->fileList()->viewport() ||
                              qobject_cast<QAbstractItemView*>(widget) ||
                              qobject_cast<QAbstractItemView*>(widget->parentWidget());
            const bool ownKey = arrow || (key->key() == Qt::Key_Delete && mods == Qt::NoModifier);
            if (ownKey && (mods == Qt::NoModifier || mods == Qt::ShiftModifier) && list)
                return QObject::eventFilter(watched, event);
            if (const auto id = m_table.commandForQtKey(key->key(), key->modifiers().toInt())) {
                m_w.runCommand(*id);
                return true;
            }
            if (key->key() == Qt::Key_Escape &&
                (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && handleEscape())
                return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

bool WindowKeys::contextHelp(QWidget* window) {
    if (auto* dialog = qobject_cast<DialogBase*>(window)) {
        dialog->OnHelp();
        return true;
    }
    // The key is taken even when the pages are missing: F1 means help, never a command.
    if (window == &m_w) {
        DialogBase::openHelpTopic(&m_w, QStringLiteral("index"));
        return true;
    }
    if (m_p.properties && window == m_p.properties) {
        DialogBase::openHelpTopic(m_p.properties, QStringLiteral("image_properties"));
        return true;
    }
    return false;
}

bool WindowKeys::handleEscape() {
    // The properties panel comes first, then the batch panel (the JPEG-transformation panel once
    // it exists).
    if (m_p.properties && m_p.properties->isVisible() && m_p.properties->isActiveWindow()) {
        m_p.properties->hide();
        return true;
    }
    if (QWidget* panel = m_w.batchPanel(); panel && panel->isVisible()) {
        panel->hide();
        return true;
    }
    if (m_p.viewerFromBrowser) {
        QMetaObject::invokeMethod(
            &m_w, [this] { m_w.runCommand(cmd::kViewerBrowser); }, Qt::QueuedConnection);
        return true;
    }
    if (m_p.browserOnly) {
        m_w.SetBrowserOnly(false);
        return true;
    }
    if (m_p.settings.exitWithEsc) {
        QMetaObject::invokeMethod(
            &m_w, [this] { m_w.runCommand(cmd::kExit); }, Qt::QueuedConnection);
        return true;
    }
    return false;
}

void WindowKeys::rebuild() {
    m_table = app::BuildAcceleratorTable(m_p.settings);
    m_p.browser->toolbar()->setAccelerators(&m_table);
    if (!m_p.menus) return;
    // The items show the keys of the new table.
    m_p.menus->setAccelerators(&m_table);
    m_p.menus->buildMainMenu(m_w.menuBar());
}

}  // namespace kalder::gui
