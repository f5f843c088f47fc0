#pragma once

#include <QObject>

class QSocketNotifier;

namespace kalder::gui {

// Turns SIGTERM and SIGHUP into a normal end of the event loop, so that the program saves its
// options on the way out as after "Exit". The handler only writes one byte into a pipe; the
// event loop reads it and quits. One instance at a time; the old handlers return with it.
class QuitOnSignal : public QObject {
    Q_OBJECT
public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;
    QuitOnSignal(const QuitOnSignal&) = delete;
    QuitOnSignal& operator=(const QuitOnSignal&) = delete;

    // False when the pipe or the handlers could not be set up (the signals then end the
    // process as before).
    bool isActive() const { return m_notifier != nullptr; }
    // A signal came: an event loop that starts only now must not run (the quit reached only
    // the loops that were running then, such as a start-up question's).
    bool requested() const { return m_requested; }

signals:
    // Emitted from the event loop before it is told to quit.
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier* m_notifier = nullptr;
    bool m_requested = false;
};

}  // namespace kalder::gui
