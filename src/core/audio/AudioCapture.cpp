#include "AudioCapture.h"

#include "AudioChunkQueue.h"
#include "AudioDispatchThread.h"
#include "AudioCaptureObserver.h"
#include "AudioReadThread.h"

#include <pthread.h>

namespace orvane {

AudioCapture::AudioCapture() = default;

AudioCapture::~AudioCapture()
{
    close();
}

void AudioCapture::setDevice(const char* id, int kind)
{
    m_id = QByteArray(id ? id : "");
    m_kind = kind;
}

bool AudioCapture::open()
{
    // A device is opened once: its threads and queue are not made to be reused.
    if (m_used)
        return false;
    m_used = true;
    if (!openBackend()) {
        releaseBackend();
        return false;
    }
    m_open = true;
    m_chunks = new AudioChunkQueue;
    m_stopReading = false;
    if (m_observer)
        m_observer->onDeviceStarted(this);
    m_readThread = new AudioReadThread(this);
    m_readThread->start();
    m_dispatchThread = new AudioDispatchThread(this);
    m_dispatchThread->start();
    return true;
}

void AudioCapture::close()
{
    if (!m_open)
        return;
    m_stopReading = true;
    WorkerThread::release(m_dispatchThread);
    WorkerThread::release(m_readThread);
    delete m_chunks;
    m_chunks = nullptr;
    releaseBackend();
    m_open = false;
    if (m_observer)
        m_observer->onDeviceStopped(this);
}

int AudioCapture::queuedChunks() const
{
    return m_chunks ? m_chunks->size() : 0;
}

void AudioCapture::wakeDispatcher()
{
    if (m_chunks)
        m_chunks->wake();
}

void AudioCapture::runReadLoop(WorkerThread* self)
{
    // Named so that a technician's top or a debugger shows whose thread it is.
    pthread_setname_np(pthread_self(), "orv-capture-rd");
    while (!WorkerThread::shouldStop(self) && !m_stopReading.load())
        readAvailable(IdleWaitMs);
}

void AudioCapture::runDispatchLoop(WorkerThread* self)
{
    pthread_setname_np(pthread_self(), "orv-capture-dp");
    while (!WorkerThread::shouldStop(self) && m_chunks->size() < PrefillChunks)
        m_chunks->waitForSize(PrefillChunks, IdleWaitMs);
    while (!WorkerThread::shouldStop(self)) {
        AudioChunk* chunk = m_chunks->pop();
        if (!chunk) {
            m_chunks->waitForSize(1, IdleWaitMs);
            continue;
        }
        if (m_observer)
            m_observer->onDeviceData(this, chunk->data.data(), chunk->frames, chunk->bytes);
        delete chunk;
    }
}

void AudioReadThread::run()
{
    m_device->runReadLoop(this);
}

void AudioReadThread::stop()
{
    WorkerThread::stop();
    m_device->wakeReader();
}

void AudioDispatchThread::run()
{
    m_device->runDispatchLoop(this);
}

void AudioDispatchThread::stop()
{
    WorkerThread::stop();
    m_device->wakeDispatcher();
}

} // namespace orvane
