#include "app/gui/quit_on_signal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>

namespace kalder::gui {
namespace {

constexpr std::array kSignals = {SIGTERM, SIGHUP};

// The pipe's ends; the write end is all the handler touches.
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[kSignals.size()];

void onSignal(int signo) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signo);
    // A full pipe already holds a pending request to quit.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

void closePipe() {
    for (int& fd : g_pipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

}  // namespace

QuitOnSignal::QuitOnSignal(QObject* parent) : QObject(parent) {
    if (g_pipe[0] >= 0) return;  // another instance owns the handlers
    if (::pipe2(g_pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (::sigaction(kSignals[i], &action, &g_previous[i]) == 0) continue;
        for (std::size_t k = 0; k < i; ++k) ::sigaction(kSignals[k], &g_previous[k], nullptr);
        closePipe();
        return;
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitOnSignal::readPipe);
}

QuitOnSignal::~QuitOnSignal() {
    if (!m_notifier) return;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    closePipe();
}

void QuitOnSignal::readPipe() {
    unsigned char bytes[16];
    int last = 0;
    for (;;) {
        const ssize_t n = ::read(g_pipe[0], bytes, sizeof bytes);
        if (n <= 0) break;
        last = bytes[n - 1];
    }
    if (last == 0) return;
    m_requested = true;
    emit received(last);
    // Every event loop ends, also that of a dialog open at the moment.
    QCoreApplication::exit(0);
}

}  // namespace kalder::gui
