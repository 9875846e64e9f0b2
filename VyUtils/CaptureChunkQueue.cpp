#include "CaptureChunkQueue.h"

#include <cstring>

CaptureChunkQueue::~CaptureChunkQueue()
{
    clear();
}

void CaptureChunkQueue::push(const void* data, int bytes, int frames)
{
    if (bytes <= 0 || frames <= 0)
        return;
    auto* chunk = new Chunk;
    chunk->data = new unsigned char[size_t(bytes)];
    if (data)
        memcpy(chunk->data, data, size_t(bytes));
    else
        memset(chunk->data, 0, size_t(bytes));
    chunk->bytes = bytes;
    chunk->frames = frames;
    QMutexLocker lock(&m_lock);
    if (m_tail)
        m_tail->next = chunk;
    else
        m_head = chunk;
    m_tail = chunk;
    ++m_count;
    m_changed.wakeAll();
}

CaptureChunkQueue::Chunk* CaptureChunkQueue::pop()
{
    QMutexLocker lock(&m_lock);
    Chunk* chunk = m_head;
    if (!chunk)
        return nullptr;
    m_head = chunk->next;
    if (!m_head)
        m_tail = nullptr;
    --m_count;
    chunk->next = nullptr;
    return chunk;
}

int CaptureChunkQueue::count() const
{
    QMutexLocker lock(&m_lock);
    return m_count;
}

void CaptureChunkQueue::clear()
{
    Chunk* chunk = nullptr;
    {
        QMutexLocker lock(&m_lock);
        chunk = m_head;
        m_head = m_tail = nullptr;
        m_count = 0;
    }
    while (chunk) {
        Chunk* next = chunk->next;
        delete chunk;
        chunk = next;
    }
}

bool CaptureChunkQueue::waitForCount(int n, int timeoutMs)
{
    QMutexLocker lock(&m_lock);
    if (m_count < n)
        m_changed.wait(&m_lock, static_cast<unsigned long>(timeoutMs));
    return m_count >= n;
}

void CaptureChunkQueue::wake()
{
    QMutexLocker lock(&m_lock);
    m_changed.wakeAll();
}
