#pragma once

#include "NetNamespacePair.h"
#include "Adapter.h"
#include "RawPacketSocket.h"

#include <cstdio>
#include <cstring>

// The near end of a fresh namespace pair as an adapter record, or false when
// namespaces cannot be made here.
inline bool benchNearAdapter(NetNamespacePair& pair, Adapter& adapter)
{
    if (!pair.ok()) {
        fprintf(stderr, "cannot build the test wire: %s\n", qPrintable(pair.error()));
        return false;
    }
    NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
    RawPacketSocket probe;
    if (!scope.ok() || !probe.open(pair.interfaceName(NetNamespacePair::Near))) {
        fprintf(stderr, "cannot open the near interface\n");
        return false;
    }
    Adapter::setText(adapter.pcapName, qPrintable(pair.interfaceName(NetNamespacePair::Near)));
    Adapter::setText(adapter.description, "bench wire");
    memcpy(adapter.address, probe.mac().constData(), 6);
    const uint8_t ip[4] = {198, 18, 0, 1};
    const uint8_t mask[4] = {255, 255, 255, 0};
    memcpy(adapter.ip, ip, 4);
    memcpy(adapter.mask, mask, 4);
    return true;
}
