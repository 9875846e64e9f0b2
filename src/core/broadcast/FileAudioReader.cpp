#include "FileAudioReader.h"

#include "AudioPacket.h"
#include "FileAudioReaderObserver.h"

#include <QDebug>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace orvane {

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

void FileAudioReader::setMemoryInput(const QByteArray& bytes)
{
    QMutexLocker hold(&m_lock);
    closeFileLocked();
    m_memoryBytes = bytes;
    m_memory.setBuffer(&m_memoryBytes);
    m_source = &m_memory;
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

void FileAudioReader::interrupt()
{
    m_interrupted.store(true);
}

// The file is read through these instead of the library's own file access, so
// that no single read, however large the demuxer asks for, runs past a stop or
// far past the last frame found.
int FileAudioReader::readInput(void* opaque, uint8_t* buffer, int size)
{
    auto* reader = static_cast<FileAudioReader*>(opaque);
    if (reader->m_interrupted.load() || reader->m_source->pos() - reader->m_scanStart > MaxScanBytes)
        return AVERROR_EXIT;
    const qint64 read = reader->m_source->read(reinterpret_cast<char*>(buffer), qMin(size, InputBufferBytes));
    if (read < 0)
        return AVERROR(EIO);
    return read == 0 ? AVERROR_EOF : int(read);
}

int64_t FileAudioReader::seekInput(void* opaque, int64_t offset, int whence)
{
    auto* reader = static_cast<FileAudioReader*>(opaque);
    QIODevice& file = *reader->m_source;
    if (whence == AVSEEK_SIZE)
        return file.size();
    int64_t target = offset;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_CUR:
        target += file.pos();
        break;
    case SEEK_END:
        target += file.size();
        break;
    case SEEK_SET:
        break;
    default:
        return -1;
    }
    return target >= 0 && file.seek(target) ? target : -1;
}

bool FileAudioReader::open()
{
    int count = 0;
    {
        QMutexLocker hold(&m_lock);
        count = m_files.size();
    }
    // A play list whose first files are gone or damaged starts with the first
    // that plays; the observer hears of each one passed over.
    for (int position = 0; position < count; ++position)
        if (openIndex(position))
            return true;
    return false;
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
    if (m_input) {
        av_freep(&m_input->buffer);
        avio_context_free(&m_input);
    }
    m_source->close();
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
    if (m_interrupted.load())
        return false;
    // Opening reads a leading tag whole (cover art may take megabytes): no scan limit yet.
    m_scanStart = INT64_MAX / 2;
    m_file.setFileName(path);
    uint8_t* buffer = nullptr;
    if (m_source->open(QIODevice::ReadOnly) && (buffer = static_cast<uint8_t*>(av_malloc(InputBufferBytes))))
        m_input = avio_alloc_context(buffer, InputBufferBytes, 0, this, readInput, nullptr, seekInput);
    if (!m_input)
        av_free(buffer);
    m_format = m_input ? avformat_alloc_context() : nullptr;
    if (m_format) {
        m_format->pb = m_input;
        m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    // avformat_open_input frees the context when it fails; the input stays ours.
    // The name still counts for recognising the format by its extension.
    if (m_format && avformat_open_input(&m_format, path.toUtf8().constData(), nullptr, nullptr) == 0) {
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
        m_packetsFromFile = 0;
        notices.append({true, position, path});
        return true;
    }
    // A stop that cut the open short is no fault of the file.
    if (!m_interrupted.load())
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
        if (m_source->isOpen())
            m_scanStart = m_source->pos();
        while (m_format && m_stream && m_packet && !m_interrupted.load()) {
            const int read = av_read_frame(m_format, m_packet);
            if (read < 0) {
                av_packet_unref(m_packet);
                // A file that ends without one frame of audio cannot be played,
                // however well it opened; front ends name it as such.
                if (m_packetsFromFile == 0 && !m_interrupted.load() && !m_silentNoticed.contains(m_index)) {
                    m_silentNoticed.insert(m_index);
                    notices.append({false, m_index, m_files.value(m_index)});
                }
                // setFiles may have emptied the list while a file played.
                if (m_files.isEmpty() || moves >= m_files.size())
                    break;
                ++moves;
                if (!openFileLocked((m_index + 1) % m_files.size(), notices))
                    break;
                m_scanStart = m_source->pos();
                continue;
            }
            const AVCodecParameters* par = m_stream->codecpar;
            // Random bytes hold sync words too: what no MPEG audio frame can be
            // (too long, no rate, no duration) is skipped, not sent as audio.
            if (m_packet->stream_index == m_stream->index &&
                (m_packet->size > MaxFrameBytes || m_packet->duration <= 0 || par->sample_rate <= 0)) {
                av_packet_unref(m_packet);
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
            packet->sampleRate = par->sample_rate;
            packet->channels = par->ch_layout.nb_channels;
            packet->duration = double(m_stream->time_base.num) / double(m_stream->time_base.den) * 1000.0 *
                               double(m_packet->duration);
            packet->payloadType = PayloadType;
            av_packet_unref(m_packet);
            ++m_packetsFromFile;
            m_silentNoticed.remove(m_index);
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

} // namespace orvane
