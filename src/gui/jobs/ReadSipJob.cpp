#include "ReadSipJob.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

ReadSipJob::ReadSipJob(QWidget* parent, ProtocolClient* client, DeviceRecord* device)
    : ProgressDialog(parent), m_client(client), m_device(device)
{
    setObjectName(QStringLiteral("sipReadJob"));
    if (m_device)
        m_device->retain();
}

ReadSipJob::~ReadSipJob()
{
    stop();
    if (m_device)
        m_device->release();
}

void ReadSipJob::run()
{
    m_account1.clear();
    m_account2.clear();
    if (m_client && m_device)
        m_client->getSipSettings(m_device, m_account1, m_account2);
    emit workFinished();
}

void ReadSipJob::abortWork()
{
    if (m_client)
        m_client->cancelWait();
}
