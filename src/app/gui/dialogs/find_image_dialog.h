#pragma once

#include <array>

#include "app/gui/dialogs/dialog_base.h"
#include "view/find_image.h"

class QCheckBox;
class QLineEdit;

namespace kalder::app {
struct Settings;
}

namespace kalder::gui {

// The search options the settings hold (findOptions entries 0 to 3, non-zero = on).
view::FindOptions findOptionsFrom(const app::Settings& settings);

// "Find Image": the find text and the four search options, read from the settings and, on
// "Find", written back to them. The search itself is the caller's.
class FindImageDialog : public DialogBase {
    Q_OBJECT
public:
    explicit FindImageDialog(app::Settings& settings, QWidget* parent = nullptr);

    // The "Find" handler: stores the text and the options, then accepts.
    void onFind();

private:
    app::Settings& m_settings;
    QLineEdit* m_text = nullptr;
    std::array<QCheckBox*, 4> m_options{};
};

}  // namespace kalder::gui
