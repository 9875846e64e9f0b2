#pragma once

#include "BatchRules.h"

#include <QList>
#include <QStringList>

namespace orvane {

class ProtocolClient;

// Before a batch hands out addresses: is any of them already in use? First
// against the listed devices (any but the one an address goes to) and the PC
// itself, then on the wire, with one ARP probe round for the whole batch.
struct AddressConflicts
{
    // Plain-words lines, one per conflict, naming the address, its device and the holder.
    QStringList lines;
    // The MACs (as planned) of the devices whose address is taken.
    QStringList devices;

    bool isEmpty() const { return lines.isEmpty(); }

    static AddressConflicts find(ProtocolClient& client, const QList<BatchRules::Planned>& plan,
                                 const QList<BatchRules::Holder>& listed);
};

} // namespace orvane
