#pragma once

#include "AudioReader.h"
#include <QMutex>

#include <QString>
#include <QStringList>
#include <QVector>

struct AVFormatContext;
struct AVPacket;
struct AVStream;
class FileAudioReaderObserver;

// Plays a list of MP3 files in a loop. It does not decode: the compressed
// frames of each file's first audio stream go out unchanged, each behind the
// 4-byte MPEG audio header.
class FileAudioReader : public AudioReader
{
public:
    static constexpr int PayloadType = 14;

    FileAudioReader() = default;
    ~FileAudioReader() override;

    bool open() override;
    void close() override;
    AudioPacket* readPacket() override;
    void reset() override;
    int payloadType() override;

    void setFiles(const QStringList& files);
    // Why the file cannot be played, in plain words, or empty when it opens
    // and gives MPEG audio: a play list should refuse it when it is added,
    // not fail at the start.
    static QString problemWith(const QString& path);
    void setObserver(FileAudioReaderObserver* observer) { m_observer = observer; }
    bool openIndex(int position);

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

    QMutex m_lock; // guards everything below except m_observer
    int m_index = 0;
    QStringList m_files;
    AVPacket* m_packet = nullptr;
    AVFormatContext* m_format = nullptr;
    AVStream* m_stream = nullptr;
    FileAudioReaderObserver* m_observer = nullptr;
};
