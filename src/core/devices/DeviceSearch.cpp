#include "DeviceSearch.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

#include <QSet>
#include <algorithm>

namespace orvane {

bool DeviceSearch::isAcceptedModel(const QString& type)
{
    return type.compare(QLatin1String("KM41"), Qt::CaseInsensitive) == 0 ||
           type.compare(QLatin1String("VQLX63"), Qt::CaseInsensitive) == 0;
}

QList<DeviceRef> DeviceSearch::accept(const QList<DeviceRecord*>& found, bool anyModel)
{
    QList<DeviceRef> kept;
    QSet<QString> macs;
    for (DeviceRecord* record : found) {
        const DeviceRef device = DeviceRef::adopt(record);
        if (!device)
            continue;
        const QString mac = device->mac();
        if ((!anyModel && !isAcceptedModel(device->type())) || mac.isEmpty() || macs.contains(mac))
            continue;
        macs.insert(mac);
        kept.append(device);
    }
    std::sort(kept.begin(), kept.end(),
              [](const DeviceRef& a, const DeviceRef& b) { return DeviceRecord::macAsc(a.get(), b.get()); });
    return kept;
}

QList<DeviceRef> DeviceSearch::run(ProtocolClient& client, int timeoutMs, bool alarmTest, bool anyModel,
                                   const std::function<bool(const DeviceRecord&, int)>& progress)
{
    // The adapter opens on the capture engine's own thread: a search begun
    // right after choosing it, before that, would send nothing and hear nothing.
    if (client.isOpen())
        client.waitUntilCaptureOpen(CaptureOpenWaitMs);
    QList<DeviceRecord*> found;
    client.search(found, timeoutMs, alarmTest, progress);
    return accept(found, anyModel);
}

} // namespace orvane
