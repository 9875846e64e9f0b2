#include "PulseTestServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <cmath>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <vector>

namespace orvane {

bool PulseTestServer::available(QString* reason)
{
    if (!QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty())
        return true;
    *reason = QStringLiteral("the pulseaudio program is missing (tools/install-deps.sh installs it)");
    return false;
}

QString PulseTestServer::log() const
{
    if (!m_dir)
        return QString();
    QFile f(m_dir->path() + QStringLiteral("/server.log"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
}

bool PulseTestServer::start(const QVector<Sink>& sinks)
{
    stop();
    m_dir.reset(new QTemporaryDir);
    if (!m_dir->isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return false;
    }
    const QString base = m_dir->path();
    QDir().mkpath(base + "/runtime");
    QDir().mkpath(base + "/home");
    QFile::setPermissions(base + "/runtime",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString socket = base + "/native";

    QStringList args{"-n",          "--daemonize=no",    "--exit-idle-time=-1", "--disable-shm=yes",
                     "--system=no", "--use-pid-file=no", "--log-target=stderr"};
    for (const Sink& s : sinks)
        args << "-L"
             << QStringLiteral("module-null-sink sink_name=%1 format=%2 rate=%3 channels=%4 "
                               "sink_properties='device.description=\"%5\"'")
                    .arg(s.name, s.format).arg(s.rate).arg(s.channels).arg(s.name);
    args << "-L" << QStringLiteral("module-native-protocol-unix socket=%1 auth-anonymous=1").arg(socket);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", base + "/runtime");
    env.insert("HOME", base + "/home");
    env.insert("XDG_CONFIG_HOME", base + "/home/.config");
    for (const char* inherited : {"PULSE_SERVER", "DBUS_SESSION_BUS_ADDRESS", "DISPLAY"})
        env.remove(inherited);
    m_process.reset(new QProcess);
    m_process->setProcessEnvironment(env);
    m_process->setStandardOutputFile(base + "/server.log");
    m_process->setStandardErrorFile(base + "/server.log", QIODevice::Append);
    m_process->start(QStringLiteral("pulseaudio"), args);
    if (!m_process->waitForStarted(5000)) {
        m_error = QStringLiteral("pulseaudio did not start: %1").arg(m_process->errorString());
        m_process.reset();
        return false;
    }
    // Ready when a client gets through, not merely when the socket file exists.
    QElapsedTimer timer;
    timer.start();
    const QByteArray address = "unix:" + socket.toUtf8();
    for (;;) {
        if (m_process->state() != QProcess::Running) {
            m_error = QStringLiteral("pulseaudio ended: %1").arg(log().right(2000));
            m_process.reset();
            return false;
        }
        if (QFile::exists(socket)) {
            int err = 0;
            pa_sample_spec sampleSpec{PA_SAMPLE_S16LE, 44100, 2};
            pa_simple* probe = pa_simple_new(address.constData(), "orvane-test-probe", PA_STREAM_PLAYBACK,
                                             nullptr, "probe", &sampleSpec, nullptr, nullptr, &err);
            if (probe) {
                pa_simple_free(probe);
                break;
            }
        }
        if (timer.elapsed() > 15000) {
            m_error = QStringLiteral("pulseaudio did not answer: %1").arg(log().right(2000));
            stop();
            return false;
        }
        QThread::msleep(50);
    }
    m_address = QString::fromUtf8(address);
    m_hadServer = qEnvironmentVariableIsSet("PULSE_SERVER");
    m_savedServer = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", address);
    return true;
}

void PulseTestServer::stop()
{
    if (!m_address.isEmpty()) {
        if (m_hadServer)
            qputenv("PULSE_SERVER", m_savedServer);
        else
            qunsetenv("PULSE_SERVER");
        m_address.clear();
    }
    if (m_process) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
        m_process.reset();
    }
}

bool PulseTonePlayer::start(const QString& sink, const QString& format, int rate, int channels, Signal signal,
                            double frequency, double amplitude)
{
    stop();
    const bool isFloat = format == QLatin1String("float32le");
    pa_sample_spec sampleSpec{isFloat ? PA_SAMPLE_FLOAT32LE : PA_SAMPLE_S16LE, uint32_t(rate), uint8_t(channels)};
    // A short target keeps what is played close to what was written.
    const uint32_t any = uint32_t(-1);
    pa_buffer_attr attr{any, uint32_t(pa_usec_to_bytes(40000, &sampleSpec)), any, any, any};
    int err = 0;
    const QByteArray device = sink.toUtf8();
    pa_simple* s = pa_simple_new(nullptr, "orvane-test-player", PA_STREAM_PLAYBACK, device.constData(),
                                 "tone", &sampleSpec, nullptr, &attr, &err);
    if (!s) {
        m_error = QString::fromUtf8(pa_strerror(err));
        return false;
    }
    m_running = true;
    m_frames = 0;
    m_rate = rate;
    m_thread = std::thread([this, s, isFloat, rate, channels, signal, frequency, amplitude] {
        const int block = rate / 100;
        std::vector<int16_t> s16(size_t(block * channels));
        std::vector<float> f32(size_t(block * channels));
        qint64 n = 0;
        int counter = 0;
        int e = 0;
        while (m_running) {
            for (int i = 0; i < block; ++i, ++n) {
                const double v = signal == Sine ? amplitude * std::sin(2.0 * M_PI * frequency * double(n) / rate) : 0;
                const int16_t c = signal == Sine ? 0 : int16_t(counter = counter % 30000 + 1);
                for (int ch = 0; ch < channels; ++ch) {
                    s16[size_t(i * channels + ch)] = signal == Sine ? int16_t(std::lround(v * 32767)) : c;
                    f32[size_t(i * channels + ch)] = float(v);
                }
            }
            const void* data = isFloat ? static_cast<const void*>(f32.data()) : static_cast<const void*>(s16.data());
            const size_t bytes = size_t(block * channels) * (isFloat ? sizeof(float) : sizeof(int16_t));
            if (pa_simple_write(s, data, bytes, &e) < 0)
                break;
            m_frames += block;
        }
        pa_simple_drain(s, &e);
        pa_simple_free(s);
    });
    return true;
}

bool PulseTonePlayer::waitUntilFlowing(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (m_frames.load() < qint64(m_rate) * 3 / 10) {
        if (!m_running || timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(10);
    }
    return true;
}

void PulseTonePlayer::stop()
{
    m_running = false;
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace orvane
