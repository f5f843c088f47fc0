// The tool runner: an engine on a worker thread whose questions, messages and progress reach
// the user-interface thread, and whose stop comes from ESC there.
#include "app/gui/tools/tool_runner.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <future>

#include "tools/recording_tool_host.h"

using namespace kalder;
using gui::ToolRunner;
using tools::ToolAnswer;

namespace {

// Records on which thread each call came.
struct UiHost : test::RecordingToolHost {
    bool allOnUiThread = true;
    std::function<void()> onProgress;

    void note() { allOnUiThread = allOnUiThread && QThread::currentThread() == qApp->thread(); }
    void error(const std::string& text) override {
        note();
        RecordingToolHost::error(text);
    }
    ToolAnswer ask(const tools::ToolQuestion& q) override {
        note();
        return RecordingToolHost::ask(q);
    }
    void progress(const tools::ToolProgress& p) override {
        note();
        RecordingToolHost::progress(p);
        if (onProgress) onProgress();
    }
};

void sendKey(QWidget& target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&target, &press);
}

}  // namespace

TEST(ToolRunner, QuestionsAndErrorsFromTheWorkerAreAnsweredOnTheUiThread) {
    UiHost ui;
    ui.answers = {ToolAnswer::NoToAll};
    ToolRunner runner(ui);
    ToolAnswer got = ToolAnswer::Yes;
    bool workerWasOther = false;
    runner.run([&](tools::ToolHost& host) {
        workerWasOther = QThread::currentThread() != qApp->thread();
        host.progress({"Reading ...", 0, 2, "/a.png", 0, 1, 0, 1});
        got = host.ask({"File is to be modified:", "/a.png", tools::kExistingFileAnswers});
        host.error("Can't read image: /b.png");
    });
    EXPECT_TRUE(workerWasOther);
    EXPECT_EQ(got, ToolAnswer::NoToAll);
    EXPECT_EQ(ui.asked, std::vector<std::filesystem::path>{"/a.png"});
    EXPECT_EQ(ui.errors, std::vector<std::string>{"Can't read image: /b.png"});
    // The report made before the question was shown before it.
    ASSERT_EQ(ui.stages.size(), 1u);
    EXPECT_EQ(ui.stages[0], "Reading ...");
    EXPECT_TRUE(ui.allOnUiThread);

    // An exception of the engine comes out of run().
    EXPECT_THROW(runner.run([](tools::ToolHost&) { throw std::runtime_error("engine"); }),
                 std::runtime_error);
}

TEST(ToolRunner, EscapeStopsTheRunAndOtherInputWaits) {
    UiHost ui;
    ToolRunner runner(ui);
    QPushButton button;
    button.show();
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&clicks] { ++clicks; });
    // The first report shown: a click, which must not reach the button, then ESC.
    ui.onProgress = [&] {
        ui.onProgress = nullptr;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
        QApplication::sendEvent(&button, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
        QApplication::sendEvent(&button, &release);
        sendKey(button, Qt::Key_Escape);
    };
    std::int64_t reports = 0;
    bool stopped = false;
    runner.run([&](tools::ToolHost& host) {
        // Reports until the stop comes (bounded, so a missing stop fails instead of hanging).
        for (; reports < 200'000'000 && !stopped; ++reports) {
            host.progress({"Writing ...", 0, 1, {}, -1, 0, reports % 100, 100});
            stopped = host.cancelled();
        }
    });
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(runner.isCancelled());
    EXPECT_EQ(clicks, 0);
}

TEST(ToolRunner, TheUiThreadKeepsRunningWhileTheEngineWorks) {
    UiHost ui;
    ToolRunner runner(ui);
    std::promise<void> fired;
    // Fires only if the user-interface thread handles its events during the run; the engine
    // waits for it.
    QTimer::singleShot(0, [&fired] { fired.set_value(); });
    bool done = false;
    runner.run([&](tools::ToolHost&) {
        fired.get_future().wait();
        done = true;
    });
    EXPECT_TRUE(done);
}
