#pragma once

#include "EmulatedSegment.h"

#include <QFile>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace orvane;

// The test wire for the benchmark called name, and the near end as an adapter
// record when one is asked for: 0 when ready, 2 when network namespaces cannot
// be made here, 1 on any other failure; the reason goes to standard error.
inline int benchWire(const char* name, std::unique_ptr<NetNamespacePair>& pair, Adapter* adapter = nullptr)
{
    QString reason;
    if (!NetNamespacePair::canRun(&reason)) {
        fprintf(stderr, "%s: %s\n", name, qPrintable(reason));
        return 2;
    }
    pair.reset(new NetNamespacePair);
    if (!pair->ok()) {
        fprintf(stderr, "%s: cannot build the test wire: %s\n", name, qPrintable(pair->error()));
        return 1;
    }
    if (adapter && !EmulatedSegment::nearAdapter(*pair, adapter, &reason)) {
        fprintf(stderr, "%s: %s\n", name, qPrintable(reason));
        return 1;
    }
    return 0;
}

// count emulated devices (config: their JSON) at the far end of pair.
inline bool benchSegment(const char* name, EmulatedSegment& segment, const NetNamespacePair& pair,
                         const QByteArray& config, int count)
{
    QString error;
    if (segment.start(pair, config, count, &error))
        return true;
    fprintf(stderr, "%s: %s\n", name, qPrintable(error));
    return false;
}

// kB of a "Vm..." line of /proc/self/status, or -1.
inline long statusKb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(strlen(key))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// A capture handle opens asynchronously and replies before that are lost:
// search until `count` devices answer.
inline bool waitForDevices(ProtocolClient& client, int count)
{
    const QList<DeviceRecord*> found =
        EmulatedSegment::searchUntil(client, [count](const QList<DeviceRecord*>& f) { return f.size() >= count; }, 300);
    for (DeviceRecord* d : found)
        d->release();
    return found.size() >= count;
}
