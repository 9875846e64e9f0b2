#pragma once

#include <QString>

class RTPFileAudioReader;

// Told about each play-list file the reader opens or fails to open. Calls
// come from the thread that moved the reader (the RTP send thread at the end
// of a file) and never while the reader holds its lock, so an observer may
// stop the broadcast from inside them.
class RTPFileAudioReaderObserver
{
public:
    virtual void onFileOpened(RTPFileAudioReader* reader, int position, const QString& path);
    virtual void onFileOpenFailed(RTPFileAudioReader* reader, int position, const QString& path);

protected:
    // Not owned by the reader, and never deleted through this interface.
    ~RTPFileAudioReaderObserver() = default;
};

inline void RTPFileAudioReaderObserver::onFileOpened(RTPFileAudioReader*, int, const QString&) {}
inline void RTPFileAudioReaderObserver::onFileOpenFailed(RTPFileAudioReader*, int, const QString&) {}
