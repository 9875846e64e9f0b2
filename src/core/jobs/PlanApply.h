#pragma once

#include "ProvisioningPlan.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace orvane {

class DeviceRecord;
class ProtocolClient;

// Brings the devices a plan names to the planned state: reads what the plan
// touches, sends only the commands whose values differ, and says per device
// what happened. Run from a worker thread (it waits for replies).
class PlanApply
{
public:
    enum class Outcome
    {
        Changed,   // every differing value was sent and accepted (or would be, when checking)
        Unchanged, // nothing differed; nothing was sent
        Failed,    // a read or a command failed; detail says which and why
        Missing    // in the plan, not found by the search
    };

    struct Result
    {
        QString mac;
        QString name;
        Outcome outcome = Outcome::Unchanged;
        QString detail;
        QList<ProvisioningPlan::Change> changes;
    };

    PlanApply(ProtocolClient& client, const ProvisioningPlan& plan, const QList<DeviceRecord*>& found);

    // The batch rules over the whole plan, before the first frame: static
    // addresses inside their subnet, no address or MAC twice in the plan or
    // held by a found device outside it, and one ARP probe round for the
    // addresses that change. Reasons name the row; empty when the plan can run.
    QStringList check();

    // Reads, compares and, unless checkOnly, sends. progress is called after
    // each device with the number done.
    QList<Result> run(bool checkOnly, const std::function<void(int done, int total)>& progress = {});

    static QString outcomeWord(Outcome outcome);

    // The found device a row names, or none; the row that names a device, or none.
    DeviceRecord* deviceFor(const ProvisioningPlan::Row& row) const;
    const ProvisioningPlan::Row* rowFor(const DeviceRecord* device) const;
    // One device: reads what its row touches, compares, and unless checkOnly sends.
    Result applyTo(const ProvisioningPlan::Row& row, DeviceRecord* device, bool checkOnly);

private:
    // Planned value, else the device's current one.
    static QString effective(const ProvisioningPlan::Row& row, const QMap<QString, QString>& current,
                             const QString& column);

    ProtocolClient& m_client;
    const ProvisioningPlan& m_plan;
    QList<DeviceRecord*> m_found;
};

} // namespace orvane
