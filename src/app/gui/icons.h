#pragma once

#include <QIcon>
#include <cstdint>

namespace kalder::gui {

// The toolbar and menu image `image` (the button table's image index), drawn at 16 and 24
// pixels. Unknown indexes give a plain marker so a button never goes blank.
QIcon toolbarIcon(std::int32_t image);

// The program's window icon.
QIcon applicationIcon();

}  // namespace kalder::gui
