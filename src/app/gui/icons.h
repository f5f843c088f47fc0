#pragma once

#include <QIcon>
#include <cstdint>

#include "app/core/command_ids.h"

namespace kalder::gui {

// The toolbar and menu image `image` (the button table's image index), drawn at 16 and 24
// pixels. Unknown indexes give a plain marker so a button never goes blank.
QIcon toolbarIcon(std::int32_t image);

// The icon of a toolbar button or menu command: the desktop theme's icon for it, else the
// drawn toolbar image. Null for a command with neither.
QIcon commandIcon(app::CommandId command);
// The freedesktop icon name of `command`; empty when the naming scheme has none that fits.
const char* commandIconName(app::CommandId command);

// Outside KDE and GNOME sessions Qt knows no icon theme name; then Adwaita, when installed,
// gives the desktop's look. A name the platform set is left alone.
void chooseIconTheme();
// chooseIconTheme, and the application's style without the generic desktop's tick and cross
// icons on plain dialog buttons (OK, Cancel, Close...), as the GNOME and KDE styles have them.
void applyDesktopLook();

// The program's window icon.
QIcon applicationIcon();

}  // namespace kalder::gui
