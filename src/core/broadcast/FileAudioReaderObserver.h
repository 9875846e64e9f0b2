#pragma once

#include <QString>

namespace orvane {

class FileAudioReader;

// Told about each play-list file the reader opens or fails to open. Calls
// come from the thread that moved the reader (the RTP send thread at the end
// of a file) and never while the reader holds its lock, so an observer may
// stop the broadcast from inside them.
class FileAudioReaderObserver
{
public:
    virtual void onFileOpened(FileAudioReader* reader, int position, const QString& path);
    virtual void onFileOpenFailed(FileAudioReader* reader, int position, const QString& path);

protected:
    // Not owned by the reader, and never deleted through this interface.
    ~FileAudioReaderObserver() = default;
};

inline void FileAudioReaderObserver::onFileOpened(FileAudioReader*, int, const QString&) {}
inline void FileAudioReaderObserver::onFileOpenFailed(FileAudioReader*, int, const QString&) {}

} // namespace orvane
