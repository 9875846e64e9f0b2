#pragma once

#include "DeviceRecord.h"

#include <QList>
#include <utility>

namespace orvane {

// One counted hold on a record: taken when made or copied, given back when
// dropped or reassigned, so that an owner cannot forget either. Copies may
// live on different threads; one handle is not shared between threads.
class DeviceRef
{
public:
    DeviceRef() = default;
    // Takes a hold of its own on device.
    explicit DeviceRef(DeviceRecord* device) : m_device(device)
    {
        if (m_device)
            m_device->retain();
    }
    // Takes over the hold the caller has (the one create() and makeDevice() give).
    static DeviceRef adopt(DeviceRecord* device)
    {
        DeviceRef ref;
        ref.m_device = device;
        return ref;
    }
    DeviceRef(const DeviceRef& other) : DeviceRef(other.m_device) {}
    DeviceRef(DeviceRef&& other) noexcept : m_device(other.m_device) { other.m_device = nullptr; }
    DeviceRef& operator=(DeviceRef other) noexcept
    {
        std::swap(m_device, other.m_device);
        return *this;
    }
    ~DeviceRef()
    {
        if (m_device)
            m_device->release();
    }

    DeviceRecord* get() const { return m_device; }
    DeviceRecord* operator->() const { return m_device; }
    explicit operator bool() const { return m_device != nullptr; }

private:
    DeviceRecord* m_device = nullptr;
};

// The records a list of holds refers to, for reading while the list lives.
inline QList<DeviceRecord*> recordsOf(const QList<DeviceRef>& refs)
{
    QList<DeviceRecord*> records;
    records.reserve(refs.size());
    for (const DeviceRef& ref : refs)
        records.append(ref.get());
    return records;
}

} // namespace orvane
