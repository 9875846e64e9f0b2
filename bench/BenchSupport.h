#pragma once

#include "EmulatedSegment.h"

#include <cstdio>

using namespace orvane;

// The near end of a fresh namespace pair as an adapter record, or false when
// namespaces cannot be made here.
inline bool benchNearAdapter(NetNamespacePair& pair, Adapter& adapter)
{
    if (!pair.ok()) {
        fprintf(stderr, "cannot build the test wire: %s\n", qPrintable(pair.error()));
        return false;
    }
    QString error;
    if (!EmulatedSegment::nearAdapter(pair, &adapter, &error)) {
        fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    return true;
}
