#include "FileAudioReader.h"

#include "AudioPacket.h"
#include "FileAudioReaderObserver.h"

#include <QDebug>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

FileAudioReader::~FileAudioReader()
{
    QMutexLocker hold(&m_lock);
    closeFileLocked();
}

QString FileAudioReader::problemWith(const QString& path)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.toUtf8().constData(), nullptr, nullptr) != 0)
        return QStringLiteral("it cannot be opened as audio");
    QString problem = QStringLiteral("it holds no MPEG audio");
    int audio = -1;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* par = format->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_AUDIO &&
            (par->codec_id == AV_CODEC_ID_MP3 || par->codec_id == AV_CODEC_ID_MP2 ||
             par->codec_id == AV_CODEC_ID_MP1)) {
            audio = int(i);
            break;
        }
    }
    AVPacket* packet = audio >= 0 ? av_packet_alloc() : nullptr;
    // The first frame must be there: a file cut short or filled with something else has none.
    for (int reads = 0; packet && reads < 100 && av_read_frame(format, packet) >= 0; ++reads) {
        const bool found = packet->stream_index == audio && packet->size > 0;
        av_packet_unref(packet);
        if (found) {
            problem.clear();
            break;
        }
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    return problem;
}

void FileAudioReader::setFiles(const QStringList& files)
{
    QMutexLocker hold(&m_lock);
    m_files = files;
}

int FileAudioReader::index()
{
    QMutexLocker hold(&m_lock);
    return m_index;
}

int FileAudioReader::payloadType()
{
    return PayloadType;
}

bool FileAudioReader::open()
{
    {
        QMutexLocker hold(&m_lock);
        if (m_files.isEmpty())
            return false;
    }
    return openIndex(0);
}

void FileAudioReader::reset()
{
    openIndex(0);
}

void FileAudioReader::close()
{
    QMutexLocker hold(&m_lock);
    closeFileLocked();
}

bool FileAudioReader::openIndex(int position)
{
    QVector<Notice> notices;
    bool ok = false;
    {
        QMutexLocker hold(&m_lock);
        ok = openFileLocked(position, notices);
    }
    notify(notices);
    return ok;
}

void FileAudioReader::closeFileLocked()
{
    av_packet_free(&m_packet);
    avformat_close_input(&m_format);
    m_stream = nullptr;
}

bool FileAudioReader::openFileLocked(int position, QVector<Notice>& notices)
{
    closeFileLocked();
    m_index = position;
    if (position < 0 || position >= m_files.size())
        return false;

    const QString path = m_files.at(position);
    qDebug() << "open file" << path;
    // Stream information is not probed: the demuxer's parser fills the codec
    // parameters and durations with the first packet, and probing would read
    // ahead through the file.
    if (avformat_open_input(&m_format, path.toUtf8().constData(), nullptr, nullptr) == 0) {
        for (unsigned i = 0; i < m_format->nb_streams; ++i) {
            if (m_format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
                m_stream = m_format->streams[i];
                break;
            }
        }
        if (m_stream)
            m_packet = av_packet_alloc();
    }
    if (m_stream && m_packet) {
        notices.append({true, position, path});
        return true;
    }
    notices.append({false, position, path});
    closeFileLocked();
    return false;
}

AudioPacket* FileAudioReader::readPacket()
{
    QVector<Notice> notices;
    AudioPacket* result = nullptr;
    {
        QMutexLocker hold(&m_lock);
        // Files that open but hold no audio packet would otherwise move the
        // reader round the list for ever on the send thread: one pass per call.
        int moves = 0;
        while (m_format && m_stream && m_packet) {
            const int read = av_read_frame(m_format, m_packet);
            if (read < 0) {
                av_packet_unref(m_packet);
                // setFiles may have emptied the list while a file played.
                if (m_files.isEmpty() || moves >= m_files.size())
                    break;
                ++moves;
                if (!openFileLocked((m_index + 1) % m_files.size(), notices))
                    break;
                continue;
            }
            if (m_packet->stream_index != m_stream->index) {
                av_packet_unref(m_packet);
                continue;
            }
            auto* packet = new AudioPacket;
            if (!packet->setData(m_packet->data, m_packet->size)) {
                delete packet;
                av_packet_unref(m_packet);
                continue;
            }
            const AVCodecParameters* par = m_stream->codecpar;
            packet->sampleRate = par->sample_rate;
            packet->channels = par->ch_layout.nb_channels;
            packet->duration = double(m_stream->time_base.num) / double(m_stream->time_base.den) * 1000.0 *
                               double(m_packet->duration);
            packet->payloadType = PayloadType;
            av_packet_unref(m_packet);
            result = packet;
            break;
        }
    }
    notify(notices);
    return result;
}

void FileAudioReader::notify(const QVector<Notice>& notices)
{
    if (!m_observer)
        return;
    for (const Notice& n : notices) {
        if (n.opened)
            m_observer->onFileOpened(this, n.position, n.path);
        else
            m_observer->onFileOpenFailed(this, n.position, n.path);
    }
}
