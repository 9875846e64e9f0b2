#pragma once

#include "DeviceRef.h"

#include <QList>
#include <QString>
#include <functional>

namespace orvane {

class ProtocolClient;

// Which search answers reach the device list and in which order: only the
// accepted models, the first answer of each device, sorted by MAC. Shared by
// the search dialog and the command-line front end.
class DeviceSearch
{
public:
    static constexpr int TimeoutMs = 2000;
    // How long a search waits for a capture handle still opening.
    static constexpr int CaptureOpenWaitMs = 3000;

    static bool isAcceptedModel(const QString& type);
    // Takes over the references of found (as ProtocolClient::search gives
    // them): the records kept are held by what it returns, the rest given back.
    // anyModel keeps other models too.
    static QList<DeviceRef> accept(const QList<DeviceRecord*>& found, bool anyModel = false);
    // One search on client followed by accept(); progress as ProtocolClient::search takes it.
    static QList<DeviceRef> run(ProtocolClient& client, int timeoutMs, bool alarmTest, bool anyModel = false,
                                const std::function<bool(const DeviceRecord&, int)>& progress = {});
};

} // namespace orvane
