#include "WriteSipJob.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

WriteSipJob::WriteSipJob(QWidget* parent, ProtocolClient* sdk)
    : PageJob(parent, sdk)
{
}

WriteSipJob::~WriteSipJob()
{
    stop();
}

void WriteSipJob::setLists(const QList<DeviceRecord*>& devices, const SipAccountSettings& account1,
                                      const SipAccountSettings& account2)
{
    setDevices(devices);
    m_account1 = account1;
    m_account2 = account2;
}

void WriteSipJob::run()
{
    const QString summary = SipAccountSettings::summary(m_account1, m_account2);
    for (DeviceRecord* device : devices()) {
        if (isStopped())
            break;
        if (sdk()->setSipSettings(device, m_account1, m_account2) == 0)
            device->setField(QStringLiteral("sipInfo"), summary);
    }
    emit workFinished();
}
