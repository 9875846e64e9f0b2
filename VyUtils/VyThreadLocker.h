#pragma once

#include <QMutex>

class VyThreadLocker
{
public:
    VyThreadLocker() = default;
    virtual ~VyThreadLocker() = default;

    int lock()
    {
        m_mutex.lock();
        return 0;
    }
    int unlock()
    {
        m_mutex.unlock();
        return 0;
    }

private:
    QMutex m_mutex;
};
