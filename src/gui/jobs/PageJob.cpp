#include "PageJob.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

PageJob::PageJob(QWidget* parent, ProtocolClient* client) : ProgressDialog(parent), m_client(client)
{
    setObjectName(QStringLiteral("settingJob"));
}

PageJob::~PageJob()
{
    stop();
    releaseDevices();
}

void PageJob::abortWork()
{
    if (m_client)
        m_client->cancelWait();
}

void PageJob::setDevices(const QList<DeviceRecord*>& devices)
{
    for (DeviceRecord* device : devices)
        device->retain();
    releaseDevices();
    m_devices = devices;
}

void PageJob::releaseDevices()
{
    for (DeviceRecord* device : qAsConst(m_devices))
        device->release();
    m_devices.clear();
}
