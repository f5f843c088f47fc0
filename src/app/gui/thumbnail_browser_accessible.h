#pragma once

#include <cstddef>
#include <functional>

class QAccessibleEvent;

namespace kalder::gui {

class ThumbnailBrowser;

// Screen readers see the browser as a list whose items are the files: each named by its file
// name, described by its size and dimensions, with its selected and focused states.
void installBrowserAccessibility();
// The current item is `index`: focus (when the browser has the keyboard) and selection events.
void announceBrowserItem(ThumbnailBrowser* browser, std::size_t index);
// Where the events go instead of the accessibility bridge (a test hook; null restores it).
void setBrowserEventSink(std::function<void(QAccessibleEvent*)> sink);

}  // namespace kalder::gui
