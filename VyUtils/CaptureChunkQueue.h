#pragma once

#include <QMutex>
#include <QWaitCondition>

// Captured blocks on their way from the read thread to the dispatch thread,
// first in first out. The queue owns what it holds.
class CaptureChunkQueue
{
public:
    struct Chunk
    {
        unsigned char* data = nullptr; // owned
        int bytes = 0;
        int frames = 0;
        Chunk* next = nullptr;
        ~Chunk() { delete[] data; }
    };

    CaptureChunkQueue() = default;
    ~CaptureChunkQueue();
    CaptureChunkQueue(const CaptureChunkQueue&) = delete;
    CaptureChunkQueue& operator=(const CaptureChunkQueue&) = delete;

    // Copies the block; a null data pointer stands for silence of that length.
    void push(const void* data, int bytes, int frames);
    // The oldest chunk, now owned by the caller, or null when empty.
    Chunk* pop();
    int count() const;
    void clear();
    // Blocks until at least n chunks are queued, wake() is called or timeoutMs passes.
    bool waitForCount(int n, int timeoutMs);
    void wake();

private:
    mutable QMutex m_lock; // guards m_head, m_tail, m_count
    QWaitCondition m_changed;
    Chunk* m_head = nullptr;
    Chunk* m_tail = nullptr;
    int m_count = 0;
};
