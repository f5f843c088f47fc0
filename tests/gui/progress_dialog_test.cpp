// The progress window: bar updates through the throttle, ESC from inside the work loop, and
// the file name fitted into its label.
#include "app/gui/dialogs/progress_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>

using namespace kalder;
using namespace kalder::gui;
using namespace std::chrono_literals;

namespace {

struct FakeClock {
    std::chrono::steady_clock::time_point now{};
    app::ProgressModel::Clock clock() {
        return [this] { return now; };
    }
};

void postKey(QWidget* target, int key) {
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
}

}  // namespace

TEST(ProgressDialog, ShowsItemStageAndBar) {
    FakeClock time;
    QWidget parent;
    ProgressDialog progress(time.clock());
    progress.Create(&parent);
    ASSERT_NE(progress.window(), nullptr);
    EXPECT_TRUE(progress.window()->isVisible());
    EXPECT_TRUE(progress.itemText().isEmpty());
    EXPECT_TRUE(progress.stageText().isEmpty());
    auto* bar = progress.window()->findChild<QProgressBar*>("bar");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->maximum(), 32766);
    bool hint = false;
    for (auto* label : progress.window()->findChildren<QLabel*>()) {
        hint |= label->text() == "Press ESC key to stop";
    }
    EXPECT_TRUE(hint);

    progress.SetItem("/tmp/a.jpg", 1, 2);
    progress.SetStage("Writing ...", 2, 1);
    EXPECT_EQ(progress.itemText(), "/tmp/a.jpg");
    EXPECT_EQ(progress.stageText(), "Writing ...");
    EXPECT_FALSE(progress.Step(100, 50, false));
    // ((1*2+1)*100+50) / 400 * 32766
    EXPECT_EQ(progress.barValue(), 350 * 32766 / 400);

    // Within a tenth of a second nothing moves; done == total never moves it.
    time.now += 50ms;
    progress.Step(100, 90, false);
    EXPECT_EQ(progress.barValue(), 350 * 32766 / 400);
    time.now += 200ms;
    progress.Step(100, 100, false);
    EXPECT_EQ(progress.barValue(), 350 * 32766 / 400);

    progress.Close();
    EXPECT_EQ(progress.window(), nullptr);
}

TEST(ProgressDialog, EscapeStopsTheWorkLoop) {
    FakeClock time;
    QWidget parent;
    parent.show();
    ProgressDialog progress(time.clock());
    progress.Create(&parent);
    progress.SetItem("/tmp/b.png", 0, 1);
    progress.SetStage("Reading ...", 1, 0);

    // Other keys are swallowed and do not stop it.
    postKey(&parent, Qt::Key_A);
    EXPECT_FALSE(progress.Step(1000, 0, true));

    // ESC pressed between refreshes is seen at the next refresh, not before.
    postKey(&parent, Qt::Key_Escape);
    time.now += 10ms;
    EXPECT_FALSE(progress.Step(1000, 1, true));
    int row = 2;
    bool stopped = false;
    for (; row < 1000 && !stopped; ++row) {
        time.now += 20ms;
        stopped = progress.Step(1000, row, true);
    }
    EXPECT_TRUE(stopped);
    EXPECT_EQ(row, 2 + 5);  // 10 + 5 * 20 ms reaches the next tenth of a second
    // The flag does not stick: the next refresh without a key goes on.
    time.now += 200ms;
    EXPECT_FALSE(progress.Step(1000, 600, true));
    progress.Close();
}

TEST(ProgressDialog, InputReachesOtherWindowsAgainAfterClose) {
    QWidget parent;
    parent.show();
    ProgressDialog progress;
    progress.Create(&parent);
    progress.Close();
    int presses = 0;
    struct Counter : QObject {
        int* count;
        explicit Counter(int* c) : count(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::KeyPress) ++*count;
            return false;
        }
    } counter(&presses);
    parent.installEventFilter(&counter);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&parent, &key);
    EXPECT_EQ(presses, 1);
}

TEST(ProgressDialog, LongPathIsCompactedToTheLabel) {
    QWidget parent;
    ProgressDialog progress;
    progress.Create(&parent);
    auto* label = progress.window()->findChild<QLabel*>("item");
    ASSERT_NE(label, nullptr);
    const QString folder = QString("/very/long/folder/name").repeated(20);
    progress.SetItem(folder + "/picture.jpg", 0, 1);
    const QString shown = progress.itemText();
    EXPECT_TRUE(shown.contains("..."));
    EXPECT_TRUE(shown.endsWith("/picture.jpg"));
    EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(shown), label->width());

    const QString name = QString("x").repeated(400) + ".jpg";
    progress.SetItem("/d/" + name, 0, 1);
    EXPECT_TRUE(progress.itemText().startsWith("..."));
    EXPECT_TRUE(progress.itemText().endsWith("x.jpg"));
}
