#include "StopSignals.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace orvane {

namespace {

int wakePipe[2] = {-1, -1};

void onSignal(int)
{
    const int saved = errno;
    const char byte = 0;
    // A full pipe already holds a wake-up; nothing is lost when this write fails.
    [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &byte, 1);
    errno = saved;
}

} // namespace

void StopSignals::install()
{
    if (wakePipe[0] >= 0 || ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // The same signal a second time ends a program that hangs on its way out.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction previous = {};
        // Started under nohup or in the background of a script: what was ignored stays ignored.
        if (::sigaction(number, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            ::sigaction(number, &action, nullptr);
    }
}

StopSignals::StopSignals(QObject* parent) : QObject(parent)
{
    install();
    if (wakePipe[0] < 0)
        return;
    auto* notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &StopSignals::stop);
}

void StopSignals::stop()
{
    char bytes[16];
    while (::read(wakePipe[0], bytes, sizeof bytes) > 0)
        continue;
    m_received = true;
    // As Cancel in each of them: a search stops at once, a job after its current device.
    QList<QPointer<QDialog>> dialogs;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog->isVisible() && dialog->isModal())
            dialogs << dialog;
    }
    for (const QPointer<QDialog>& dialog : qAsConst(dialogs)) {
        if (dialog)
            dialog->reject();
    }
    if (m_window)
        m_window->close();
    // Also ends the loop of a dialog that stays open until its job has stopped,
    // and keeps any dialog from opening on the way out.
    QCoreApplication::exit(0);
}

} // namespace orvane
