// Finding and pressing the controls of our dialogs by their object names.
#pragma once

#include <gtest/gtest.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QWidget>

namespace kalder::test {

// The named child; a missing one fails the test (and answers nullptr).
template <typename T>
T* child(QWidget& parent, const char* name) {
    T* w = parent.findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// Clicks a standard button of the dialog's "buttons" box.
inline void press(QDialog& dialog, QDialogButtonBox::StandardButton which) {
    child<QDialogButtonBox>(dialog, "buttons")->button(which)->click();
}

}  // namespace kalder::test
