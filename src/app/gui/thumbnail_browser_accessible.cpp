// The browser model's headers name a member "slots", which Qt's keyword macros would eat: they
// come before any Qt header.
#include "app/gui/thumbnail_browser_accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QScrollBar>
#include <unordered_map>

#include "app/gui/thumbnail_browser.h"
#include "shell/qt/qt_path.h"
#include "view/folder_images.h"
#include "view/image_entry.h"

namespace kalder::gui {
namespace {

// One file of the list. It holds its entry, not an index, so it keeps naming the same file
// after a sort; once the entry left the list it is no longer valid.
class ItemAccessible : public QAccessibleInterface {
public:
    ItemAccessible(ThumbnailBrowser* browser, const view::ImageEntry* entry)
        : m_browser(browser), m_entry(entry) {}

    bool isValid() const override {
        return m_browser && m_browser->images() && m_browser->images()->entries().contains(m_entry);
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return m_browser ? m_browser->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return m_browser ? QAccessible::queryAccessibleInterface(m_browser.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text t) const override {
        if (!isValid()) return {};
        if (t == QAccessible::Name) return shell::toQString(m_entry->name());
        if (t == QAccessible::Description) return m_browser->accessibleDescription(index());
        return {};
    }

    QRect rect() const override {
        if (!isValid()) return {};
        const QRect cell = m_browser->cellRect(index());
        return QRect(m_browser->viewport()->mapToGlobal(cell.topLeft()), cell.size());
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        s.selectable = true;
        s.focusable = true;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.selected = m_entry->selected;
        const bool current = m_browser->current() == m_entry;
        s.active = current;
        s.focused = current && m_browser->hasFocus();
        const QRect cell = m_browser->cellRect(index());
        s.offscreen = !cell.intersects(m_browser->viewport()->rect());
        s.invisible = !m_browser->isVisible();
        return s;
    }

private:
    std::size_t index() const { return m_entry->index(); }

    QPointer<ThumbnailBrowser> m_browser;
    const view::ImageEntry* m_entry;
};

class BrowserAccessible : public QAccessibleWidget {
public:
    explicit BrowserAccessible(ThumbnailBrowser* browser)
        : QAccessibleWidget(browser, QAccessible::List) {}
    ~BrowserAccessible() override {
        for (const auto& [entry, id] : m_items) QAccessible::deleteAccessibleInterface(id);
    }

    ThumbnailBrowser* browser() const { return static_cast<ThumbnailBrowser*>(widget()); }

    // Only the files are children: the scroll bars and the viewport are no part of what a
    // reader lists.
    int childCount() const override { return static_cast<int>(browser()->itemCount()); }

    QAccessibleInterface* child(int index) const override {
        if (index < 0 || static_cast<std::size_t>(index) >= browser()->itemCount()) return nullptr;
        const view::ImageEntry* entry = browser()->images()->at(static_cast<std::size_t>(index));
        if (const auto found = m_items.find(entry); found != m_items.end())
            return QAccessible::accessibleInterface(found->second);
        // Entries of an earlier listing may have been freed and their addresses reused; their
        // interfaces go before a new one is made.
        if (m_items.size() >= 2 * browser()->itemCount() + 64) dropStale();
        auto* item = new ItemAccessible(browser(), entry);
        m_items.emplace(entry, QAccessible::registerAccessibleInterface(item));
        return item;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        for (const auto& [entry, id] : m_items)
            if (QAccessible::accessibleInterface(id) == child && child->isValid())
                return static_cast<int>(entry->index());
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint at = browser()->viewport()->mapFromGlobal(QPoint(x, y));
        const std::ptrdiff_t i = browser()->indexAt(at);
        return i >= 0 ? child(static_cast<int>(i)) : nullptr;
    }

private:
    void dropStale() const {
        for (auto it = m_items.begin(); it != m_items.end();) {
            if (!browser()->images()->entries().contains(it->first)) {
                QAccessible::deleteAccessibleInterface(it->second);
                it = m_items.erase(it);
            } else {
                ++it;
            }
        }
    }

    mutable std::unordered_map<const view::ImageEntry*, QAccessible::Id> m_items;
};

std::function<void(QAccessibleEvent*)>& eventSink() {
    static std::function<void(QAccessibleEvent*)> sink;
    return sink;
}

void send(QAccessibleEvent* event) {
    if (eventSink())
        eventSink()(event);
    else
        QAccessible::updateAccessibility(event);
}

QAccessibleInterface* browserFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(ThumbnailBrowser::staticMetaObject.className()))
        if (auto* browser = qobject_cast<ThumbnailBrowser*>(object))
            return new BrowserAccessible(browser);
    return nullptr;
}

}  // namespace

void installBrowserAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(browserFactory);
        return true;
    }();
    (void)installed;
}

void setBrowserEventSink(std::function<void(QAccessibleEvent*)> sink) {
    eventSink() = std::move(sink);
}

void announceBrowserItem(ThumbnailBrowser* browser, std::size_t index) {
    // Nobody listens without an accessibility bridge (or a test's sink).
    if ((!QAccessible::isActive() && !eventSink()) || index >= browser->itemCount()) return;
    const int child = static_cast<int>(index);
    if (browser->hasFocus()) {
        QAccessibleEvent focus(browser, QAccessible::Focus);
        focus.setChild(child);
        send(&focus);
    }
    QAccessibleEvent selection(browser, QAccessible::Selection);
    selection.setChild(child);
    send(&selection);
}

}  // namespace kalder::gui
