#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVector>

namespace orvane {

// A receiver that knows nothing of the sender: ffmpeg on the broadcast's
// session description, or GStreamer's rtpmpadepay pipeline on the group. It
// runs in a network namespace and decodes to 32-bit float samples.
class StreamReceiver
{
public:
    enum Kind { Ffmpeg, GStreamer };

    StreamReceiver(Kind kind, const QString& ns, const QString& outPath);
    ~StreamReceiver();
    Q_DISABLE_COPY(StreamReceiver)

    // ffmpeg reads sdpPath; GStreamer listens on group:port. True once its socket is open.
    bool start(const QString& group, int port, const QString& sdpPath);
    // Waits until `frames` sample frames have been written out, or timeoutMs passed.
    bool waitForFrames(int frames, int timeoutMs);
    // ffmpeg ends at the BYE by itself; GStreamer is told to finish. True when it ended cleanly in time.
    bool finish(int timeoutMs);
    QString log() const { return m_log; }

    // Interleaved samples and their layout as decoded.
    QVector<float> samples() const;
    int rate() const { return m_rate; }
    int channels() const { return m_channels; }

    static bool available(Kind kind);

private:
    Kind m_kind;
    QString m_ns, m_out, m_log;
    int m_rate = 0, m_channels = 0;
    QProcess m_process;
};

// Frequency of a tone from its zero crossings in samples [from, to) of one channel.
double toneFrequency(const QVector<float>& samples, int channels, int channel, int from, int to, int rate);
// A sine tone file: MP3, or MPEG-1 layer II for a .mp2 path.
struct ToneFile
{
    QString path;
    int rate;
    double seconds;
    int frequency = 1000;
    QString bitrate = "128k";
    int channels = 2;
};
// Makes them all in one ffmpeg run: its start-up is most of what a tone costs.
bool makeToneFiles(const QVector<ToneFile>& files);
bool makeToneFile(const QString& path, int rate, double seconds, int frequency,
                  const QString& bitrate = "128k", int channels = 2);

} // namespace orvane
