#include "SetNameJob.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

SetNameJob::SetNameJob(QWidget* parent, ProtocolClient* sdk) : PageJob(parent, sdk) {}

SetNameJob::~SetNameJob()
{
    stop();
}

void SetNameJob::setLists(const QList<DeviceRecord*>& devices, const QStringList& names)
{
    setDevices(devices);
    m_names = names;
}

void SetNameJob::run()
{
    const QList<DeviceRecord*> targets = devices();
    for (int i = 0; i < targets.size() && i < m_names.size(); ++i) {
        if (isStopped())
            break;
        if (sdk()->setName(targets.at(i), m_names.at(i)) == 0)
            targets.at(i)->setName(m_names.at(i));
    }
    emit workFinished();
}
