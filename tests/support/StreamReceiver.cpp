#include "StreamReceiver.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QtEndian>
#include <QRegularExpression>
#include <QThread>
#include <csignal>
#include <cstring>
#include <functional>

namespace orvane {

namespace {

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    for (QDeadlineTimer t(timeoutMs); !done(); QThread::msleep(20))
        if (t.hasExpired())
            return false;
    return true;
}

bool portOpen(const QString& ns, int port)
{
    QProcess cat;
    cat.start("ip", {"netns", "exec", ns, "cat", "/proc/net/udp"});
    cat.waitForFinished(5000);
    return QString::fromLatin1(cat.readAll())
        .contains(QStringLiteral(":%1 ").arg(port, 4, 16, QLatin1Char('0')).toUpper());
}

} // namespace

StreamReceiver::StreamReceiver(Kind kind, const QString& ns, const QString& outPath)
    : m_kind(kind), m_ns(ns), m_out(outPath)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

StreamReceiver::~StreamReceiver()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool StreamReceiver::available(Kind kind)
{
    QProcess p;
    p.start(kind == Ffmpeg ? "ffmpeg" : "gst-inspect-1.0",
            kind == Ffmpeg ? QStringList{"-version"} : QStringList{"rtpmpadepay"});
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool StreamReceiver::start(const QString& group, int port, const QString& sdpPath)
{
    QFile::remove(m_out);
    if (m_kind == Ffmpeg) {
        m_process.start("ip", {"netns", "exec", m_ns, "ffmpeg", "-hide_banner", "-loglevel", "warning",
                               "-nostdin", "-protocol_whitelist", "file,udp,rtp", "-i", sdpPath, "-c:a",
                               "pcm_f32le", "-f", "wav", "-y", m_out});
    } else {
        const QString pipeline =
            QStringLiteral("udpsrc address=%1 port=%2 "
                           "caps=application/x-rtp,media=audio,clock-rate=90000,encoding-name=MPA,payload=14 "
                           "! rtpjitterbuffer ! rtpmpadepay ! mpegaudioparse ! mpg123audiodec ! audioconvert "
                           "! audio/x-raw,format=F32LE ! wavenc ! filesink")
                .arg(group).arg(port);
        m_process.start("ip", QStringList{"netns", "exec", m_ns, "gst-launch-1.0", "-q", "-e"} +
                                  pipeline.split(' ') + QStringList{"location=" + m_out});
    }
    return m_process.waitForStarted(10000) && waitFor([&] { return portOpen(m_ns, port); }, 15000);
}

bool StreamReceiver::waitForFrames(int frames, int timeoutMs)
{
    return waitFor([&] { // samples() reads the layout as well
        const int n = samples().size();
        return m_channels > 0 && n / m_channels >= frames;
    }, timeoutMs);
}

bool StreamReceiver::finish(int timeoutMs)
{
    // gst-launch with -e turns an interrupt into an end of stream, so the file is complete.
    if (m_kind == GStreamer && m_process.state() != QProcess::NotRunning)
        ::kill(pid_t(m_process.processId()), SIGINT);
    const bool ended = m_process.waitForFinished(timeoutMs);
    m_log = QString::fromLocal8Bit(m_process.readAll());
    if (!ended) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QVector<float> StreamReceiver::samples() const
{
    QVector<float> out;
    QFile f(m_out);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    const QByteArray b = f.readAll();
    auto* self = const_cast<StreamReceiver*>(this);
    for (int at = 12; b.startsWith("RIFF") && at + 8 <= b.size();) {
        const QByteArray id = b.mid(at, 4);
        quint32 size = qFromLittleEndian<quint32>(b.constData() + at + 4);
        const char* body = b.constData() + at + 8;
        const int left = b.size() - at - 8;
        if (id == "fmt " && left >= 16) {
            self->m_channels = qFromLittleEndian<quint16>(body + 2);
            self->m_rate = int(qFromLittleEndian<quint32>(body + 4));
        } else if (id == "data") {
            // A writer that was cut short leaves the size open; the file's end bounds it.
            if (size == 0 || size == 0xFFFFFFFF || int(size) > left)
                size = quint32(left);
            out.resize(int(size) / 4);
            memcpy(out.data(), body, size_t(out.size()) * 4);
            return out;
        }
        at += 8 + int(size) + int(size & 1);
    }
    return out;
}

double toneFrequency(const QVector<float>& s, int channels, int channel, int from, int to, int rate)
{
    int crossings = 0;
    for (int i = from + 1; i < to; ++i)
        crossings += (s[(i - 1) * channels + channel] < 0) != (s[i * channels + channel] < 0);
    return crossings / 2.0 / (double(to - from) / rate);
}

bool makeToneFiles(const QVector<ToneFile>& files)
{
    QStringList args{"-hide_banner", "-loglevel", "error", "-y"};
    for (const ToneFile& f : files)
        args << "-f" << "lavfi" << "-i"
             << QStringLiteral("sine=frequency=%1:sample_rate=%2:duration=%3").arg(f.frequency).arg(f.rate).arg(f.seconds);
    for (int i = 0; i < files.size(); ++i)
        args << "-map" << QString::number(i) << "-ac" << QString::number(files[i].channels) << "-c:a"
             << (files[i].path.endsWith(".mp2") ? "mp2" : "libmp3lame") << "-b:a" << files[i].bitrate << files[i].path;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("ffmpeg", args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool makeToneFile(const QString& path, int rate, double seconds, int frequency, const QString& bitrate,
                  int channels)
{
    return makeToneFiles({{path, rate, seconds, frequency, bitrate, channels}});
}

} // namespace orvane
