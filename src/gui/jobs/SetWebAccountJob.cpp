#include "SetWebAccountJob.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

SetWebAccountJob::SetWebAccountJob(QWidget* parent, ProtocolClient* sdk)
    : PageJob(parent, sdk)
{
}

SetWebAccountJob::~SetWebAccountJob()
{
    stop();
}

void SetWebAccountJob::setLists(const QList<DeviceRecord*>& devices, const QString& account,
                                        const QString& digest)
{
    setDevices(devices);
    m_account = account;
    m_digest = digest;
}

void SetWebAccountJob::run()
{
    for (DeviceRecord* device : devices()) {
        if (isStopped())
            break;
        if (sdk()->setAccountPassword(device, m_account, m_digest) == 0) {
            device->setAccount(m_account);
            device->setPassword(m_digest);
        }
    }
    emit workFinished();
}
