#pragma once

#include "AudioReader.h"
#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QMutex>
#include <QSet>

#include <QString>
#include <QStringList>
#include <QVector>
#include <atomic>
#include <cstdint>

struct AVFormatContext;
struct AVIOContext;
struct AVPacket;
struct AVStream;

namespace orvane {

class FileAudioReaderObserver;

// Plays a list of MP3 files in a loop. It does not decode: the compressed
// frames of each file's first audio stream go out unchanged, each behind the
// 4-byte MPEG audio header.
class FileAudioReader : public AudioReader
{
public:
    static constexpr int PayloadType = 14;
    // The largest MPEG audio frame (layer II/III at 8 kHz and 160 kbit/s, padded);
    // a larger packet is damage, not audio.
    static constexpr int MaxFrameBytes = 2881;
    // Bytes one read may pass over without finding a frame before the file
    // counts as damaged (a huge sparse or random file would otherwise be
    // scanned, and buffered, whole).
    static constexpr int64_t MaxScanBytes = 1 << 20;
    static constexpr int InputBufferBytes = 32 * 1024;

    FileAudioReader() = default;
    ~FileAudioReader() override;

    bool open() override;
    void close() override;
    AudioPacket* readPacket() override;
    void reset() override;
    int payloadType() override;
    void interrupt() override;

    void setFiles(const QStringList& files);
    // Why the file cannot be played, in plain words, or empty when it opens
    // and gives MPEG audio: a play list should refuse it when it is added,
    // not fail at the start.
    static QString problemWith(const QString& path);
    void setObserver(FileAudioReaderObserver* observer) { m_observer = observer; }
    bool openIndex(int position);
    // Every listed file is read from these bytes instead of the disk (the name
    // still counts for the format): damaged input checked without touching disk.
    void setMemoryInput(const QByteArray& bytes);

    // Play-list position of the open file.
    int index();

private:
    struct Notice
    {
        bool opened;
        int position;
        QString path;
    };

    // These run under m_lock; they queue observer notices instead of calling out.
    void closeFileLocked();
    bool openFileLocked(int position, QVector<Notice>& notices);
    void notify(const QVector<Notice>& notices);
    static int readInput(void* opaque, uint8_t* buffer, int size);
    static int64_t seekInput(void* opaque, int64_t offset, int whence);

    QMutex m_lock; // guards everything below except m_observer
    int m_index = 0;
    QStringList m_files;
    AVPacket* m_packet = nullptr;
    AVFormatContext* m_format = nullptr;
    AVStream* m_stream = nullptr;
    FileAudioReaderObserver* m_observer = nullptr;
    std::atomic<bool> m_interrupted{false};
    QFile m_file;                    // the open file, read through m_input
    QByteArray m_memoryBytes;
    QBuffer m_memory;                // or the bytes of setMemoryInput()
    QIODevice* m_source = &m_file;   // whichever of the two is read
    AVIOContext* m_input = nullptr;
    int64_t m_scanStart = 0; // file position where the current read began
    int m_packetsFromFile = 0; // audio packets the open file has given
    QSet<int> m_silentNoticed; // positions already reported as holding no audio
};

} // namespace orvane
