#pragma once

#include "AudioChunkQueue.h"
#include "CaptureFormat.h"

#include <QByteArray>
#include <atomic>

namespace orvane {

class AudioCaptureObserver;
class AudioReadThread;
class AudioDispatchThread;
class WorkerThread;

// One open audio endpoint: a read thread drains it into a chunk queue and a
// dispatch thread hands the chunks, in order, to the observer, so the
// observer's work never delays the draining. Opened once; close() joins both
// threads before anything they use is released. The platform part (the
// connection to the sound system and the reading) lives in AudioCapture_<platform>.cpp.
class AudioCapture
{
public:
    // Dispatch starts once this many chunks are queued, so that the observer
    // sees a steady stream rather than the first block alone.
    static constexpr int PrefillChunks = 2;
    // The longest either thread waits before it looks at its stop request again.
    static constexpr int IdleWaitMs = 20;
    // Blocks the endpoint is asked to deliver, and how much it may hold for a
    // reader that falls behind before it drops audio.
    static constexpr int FragmentMs = 10;
    static constexpr int BufferMs = 1000;

    AudioCapture();
    // Closes an endpoint the owner left open.
    ~AudioCapture();
    AudioCapture(const AudioCapture&) = delete;
    AudioCapture& operator=(const AudioCapture&) = delete;

    void setObserver(AudioCaptureObserver* observer) { m_observer = observer; }
    // id as listed (UTF-8); kind 1 captures what a render endpoint plays.
    void setDevice(const char* id, int kind);
    bool open();
    void close();
    // The format of the captured blocks; null unless open.
    const CaptureFormat* mixFormat() const { return m_open ? &m_mixFormat : nullptr; }

    QByteArray id() const { return m_id; }
    int kind() const { return m_kind; }
    bool isOpen() const { return m_open; }
    // Chunks captured and not yet dispatched.
    int queuedChunks() const;

    // Thread bodies; self is the thread that runs them.
    void runReadLoop(WorkerThread* self);
    void runDispatchLoop(WorkerThread* self);
    void wakeReader();
    void wakeDispatcher();

private:
    struct Backend; // the platform's handles

    // Platform part: connect and start the stream, filling m_mixFormat.
    bool openBackend();
    // Platform part: wait up to waitMs for captured blocks and queue them.
    void readAvailable(int waitMs);
    // Platform part: stop the stream and free every handle; safe when partly open.
    void releaseBackend();

    Backend* m_backend = nullptr;
    CaptureFormat m_mixFormat;
    int m_kind = 0;
    QByteArray m_id;
    AudioCaptureObserver* m_observer = nullptr;
    AudioReadThread* m_readThread = nullptr;
    AudioDispatchThread* m_dispatchThread = nullptr;
    AudioChunkQueue* m_chunks = nullptr;
    bool m_open = false;
    bool m_used = false;
    std::atomic<bool> m_stopReading{false};
};

} // namespace orvane
