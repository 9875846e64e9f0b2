#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>
#include <atomic>
#include <memory>
#include <thread>

namespace orvane {

// A private sound server (own runtime directory and home, null sinks, one Unix socket). While it runs,
// PULSE_SERVER points at it, so the code under test sees nothing of the machine's own sound system.
class PulseTestServer
{
public:
    struct Sink
    {
        QString name;
        QString format; // the server's sample format name
        int rate;
        int channels;
    };

    PulseTestServer() = default;
    ~PulseTestServer() { stop(); }
    PulseTestServer(const PulseTestServer&) = delete;
    PulseTestServer& operator=(const PulseTestServer&) = delete;

    // Whether the pulseaudio program is installed; reason says why not.
    static bool available(QString* reason);

    bool start(const QVector<Sink>& sinks);
    void stop();
    bool isRunning() const { return m_process && m_process->state() == QProcess::Running; }
    QString error() const { return m_error; }
    QString log() const;

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    QString m_address;
    QString m_error;
    QByteArray m_savedServer;
    bool m_hadServer = false;
};

// Plays into one sink from a thread of its own, in real time, until stopped; s16 or float, interleaved.
class PulseTonePlayer
{
public:
    // Sine: frequency Hz at amplitude on every channel; Counter (16-bit: 1, 2 ... 30000, 1 ...) shows order and loss.
    enum Signal { Sine, Counter };

    PulseTonePlayer() = default;
    ~PulseTonePlayer() { stop(); }
    PulseTonePlayer(const PulseTonePlayer&) = delete;
    PulseTonePlayer& operator=(const PulseTonePlayer&) = delete;

    // format: "s16le" or "float32le". False (with error()) when the stream cannot be made.
    bool start(const QString& sink, const QString& format, int rate, int channels, Signal signal,
               double frequency = 1000.0, double amplitude = 0.5);
    void stop();
    // An idle null sink renders its next two seconds in one block and a new stream waits for it to pass:
    // true once the sink takes the player's samples in real time.
    bool waitUntilFlowing(int timeoutMs);
    QString error() const { return m_error; }
    qint64 framesWritten() const { return m_frames.load(); }

private:
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<qint64> m_frames{0};
    int m_rate = 0;
    QString m_error;
};

// Skips a QtTest function where no private sound server can start, but fails where CI says it must run.
#define ORVANE_REQUIRE_PULSE(server, sinks)                                                                  \
    do {                                                                                                     \
        QString reason_;                                                                                     \
        if (!PulseTestServer::available(&reason_) || !(server).start(sinks)) {                               \
            if (reason_.isEmpty())                                                                           \
                reason_ = (server).error();                                                                  \
            const QByteArray ci_ = qgetenv("CI");                                                            \
            if (!ci_.isEmpty() && ci_ != "0" && ci_.toLower() != "false")                                    \
                QFAIL(qPrintable(QStringLiteral("audio test cannot run in CI: %1").arg(reason_)));           \
            QSKIP(qPrintable(QStringLiteral("audio test skipped: %1").arg(reason_)));                        \
        }                                                                                                    \
    } while (0)

} // namespace orvane
