#include "CoreAudio.h"

#include "CaptureChunkQueue.h"
#include "CoreAudioDeviceDispatchThread.h"
#include "CoreAudioDeviceObserver.h"
#include "CoreAudioDeviceReadThread.h"

#include <pthread.h>

CoreAudioDevice::CoreAudioDevice() = default;

CoreAudioDevice::~CoreAudioDevice()
{
    close();
}

void CoreAudioDevice::setDevice(const char* id, int kind)
{
    m_id = QByteArray(id ? id : "");
    m_kind = kind;
}

bool CoreAudioDevice::open()
{
    // A device is opened once: its threads and queue are not made to be reused.
    if (m_used)
        return false;
    m_used = true;
    if (!_open()) {
        releaseBackend();
        return false;
    }
    m_open = true;
    m_chunks = new CaptureChunkQueue;
    m_stopReading = false;
    if (m_observer)
        m_observer->onDeviceStarted(this);
    m_readThread = new CoreAudioDeviceReadThread(this);
    m_readThread->start();
    m_dispatchThread = new CoreAudioDeviceDispatchThread(this);
    m_dispatchThread->start();
    return true;
}

void CoreAudioDevice::close()
{
    if (!m_open)
        return;
    m_stopReading = true;
    VyThread::release(m_dispatchThread);
    VyThread::release(m_readThread);
    delete m_chunks;
    m_chunks = nullptr;
    releaseBackend();
    m_open = false;
    if (m_observer)
        m_observer->onDeviceStopped(this);
}

int CoreAudioDevice::queuedChunks() const
{
    return m_chunks ? m_chunks->count() : 0;
}

void CoreAudioDevice::wakeDispatcher()
{
    if (m_chunks)
        m_chunks->wake();
}

void CoreAudioDevice::runReadLoop(VyThread* self)
{
    // Named so that a technician's top or a debugger shows whose thread it is.
    pthread_setname_np(pthread_self(), "orv-capture-rd");
    while (!VyThread::shouldStop(self) && !m_stopReading.load())
        readAvailable(IdleWaitMs);
}

void CoreAudioDevice::runDispatchLoop(VyThread* self)
{
    pthread_setname_np(pthread_self(), "orv-capture-dp");
    while (!VyThread::shouldStop(self) && m_chunks->count() < PrefillChunks)
        m_chunks->waitForCount(PrefillChunks, IdleWaitMs);
    while (!VyThread::shouldStop(self)) {
        CaptureChunkQueue::Chunk* chunk = m_chunks->pop();
        if (!chunk) {
            m_chunks->waitForCount(1, IdleWaitMs);
            continue;
        }
        if (m_observer)
            m_observer->onDeviceData(this, chunk->data, chunk->frames, chunk->bytes);
        delete chunk;
    }
}

void CoreAudioDeviceReadThread::run()
{
    m_device->runReadLoop(this);
}

void CoreAudioDeviceReadThread::stop()
{
    VyThread::stop();
    m_device->wakeReader();
}

void CoreAudioDeviceDispatchThread::run()
{
    m_device->runDispatchLoop(this);
}

void CoreAudioDeviceDispatchThread::stop()
{
    VyThread::stop();
    m_device->wakeDispatcher();
}
