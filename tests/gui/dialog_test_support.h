// Finding and pressing the controls of our dialogs by their object names.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>

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

// Calls `handle` with the modal widget of type T each time the timer finds one, so a test can
// answer the dialogs that the code under test opens with exec(); stops with the object.
template <typename T>
class ModalHandler {
public:
    explicit ModalHandler(std::function<void(T*)> handle) {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [handle] {
            if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) handle(w);
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};

}  // namespace kalder::test
