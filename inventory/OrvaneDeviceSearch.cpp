#include "OrvaneDeviceSearch.h"

#include "OrvaneDevice.h"
#include "OrvaneSDK.h"

#include <QSet>
#include <algorithm>

bool OrvaneDeviceSearch::isAcceptedModel(const QString& type)
{
    return type.compare(QLatin1String("KM41"), Qt::CaseInsensitive) == 0 ||
           type.compare(QLatin1String("VQLX63"), Qt::CaseInsensitive) == 0;
}

QList<OrvaneDevice*> OrvaneDeviceSearch::accept(const QList<OrvaneDevice*>& found, bool anyModel)
{
    QList<OrvaneDevice*> kept;
    QSet<QString> macs;
    for (OrvaneDevice* device : found) {
        if (!device)
            continue;
        const QString mac = device->mac();
        if ((!anyModel && !isAcceptedModel(device->type())) || mac.isEmpty() || macs.contains(mac)) {
            device->release();
            continue;
        }
        macs.insert(mac);
        kept.append(device);
    }
    std::sort(kept.begin(), kept.end(), OrvaneDevice::macAsc);
    return kept;
}

QList<OrvaneDevice*> OrvaneDeviceSearch::run(OrvaneSDK& sdk, int timeoutMs, bool alarmTest, bool anyModel)
{
    QList<OrvaneDevice*> found;
    sdk.search(found, timeoutMs, alarmTest);
    return accept(found, anyModel);
}
