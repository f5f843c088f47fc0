#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "app/core/progress_model.h"

class QDialog;
class QEvent;
class QLabel;
class QProgressBar;

namespace kalder::gui {

// Whether a job that runs inside a command handler holds `event` back: keys, clicks, wheel turns
// and close requests (ignored) wait, so that no other command starts underneath it; everything
// else (painting, timers) passes. ESC, held too, sets `escape`: it asks the job to stop.
bool holdForJob(QEvent* event, bool& escape);

// The small window long jobs show while they run on the user-interface thread: the file being
// worked on, the stage, one bar over the whole job and "Press ESC key to stop". The job calls
// Step from its loop; at most ten times a second Step moves the bar, lets the window paint and
// looks for ESC.
//
//     ProgressDialog progress;
//     progress.Create(this);
//     for (int i = 0; i < n; ++i) {
//         progress.SetItem(path[i], i, n);
//         progress.SetStage(tr("Reading ..."), 2, 0);
//         for (row...) if (progress.Step(rows, row, true)) { clean up; stop; }
//     }
//     progress.Close();
class ProgressDialog : public QObject {
    Q_OBJECT
public:
    // Tests hand in a clock; the program uses the steady clock.
    explicit ProgressDialog(app::ProgressModel::Clock clock = {});
    ~ProgressDialog() override;

    // Shows the window over `parent` at once, with empty file and stage texts.
    void Create(QWidget* parent);
    // Item `index` of `count`: the path, compacted to fit, is shown at once.
    void SetItem(const QString& path, int index, int count);
    // The stage text ("Reading ...", "Writing ...") and stage `index` of `count`.
    void SetStage(const QString& text, int count, int index);
    // `done` of `total` of the current stage. True when the user pressed ESC (only looked for
    // when `checkEscape` is set and a refresh is due).
    bool Step(qint64 total, qint64 done, bool checkEscape);
    // Removes the window.
    void Close();

    // The window while it exists (for tests and for placing message boxes over it).
    QDialog* window() const { return m_window; }
    int barValue() const;
    QString itemText() const;
    QString stageText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showItem();

    app::ProgressModel m_model;
    QPointer<QDialog> m_window;
    QLabel* m_item = nullptr;
    QLabel* m_stage = nullptr;
    QProgressBar* m_bar = nullptr;
    QString m_path;
    bool m_polling = false;  // inside Step's event processing
    bool m_escape = false;
    bool m_filterInstalled = false;
};

}  // namespace kalder::gui
