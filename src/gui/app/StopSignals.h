#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace orvane {

// Ends the program on SIGTERM, SIGINT and SIGHUP (logout, kill, Ctrl-C) as
// closing its window does, so that the layout is kept and a broadcast ends
// with its BYE. The handler only writes to a pipe; the closing itself runs on
// the user-interface thread once its event loop reads the pipe.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    // First thing in main(): a signal that comes during start-up waits in the pipe.
    static void install();

    // Needs the application object: the pipe is read by this thread's event loop.
    explicit StopSignals(QObject* parent = nullptr);

    // Closed on a signal; until there is one, a signal only ends the open dialogs.
    void setWindow(QWidget* window) { m_window = window; }
    // A signal came before the window was set: the program should not open it.
    bool received() const { return m_received; }

private:
    void stop();

    QPointer<QWidget> m_window;
    bool m_received = false;
};

} // namespace orvane
