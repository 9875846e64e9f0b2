#pragma once

#include "PageJob.h"

#include <QStringList>

// Gives devices new MAC addresses: macs[i] goes to device i, and later
// commands follow the device to its new address.
class SetMacJob : public PageJob
{
    Q_OBJECT

public:
    SetMacJob(QWidget* parent, ProtocolClient* sdk);
    ~SetMacJob() override;

    void setLists(const QList<DeviceRecord*>& devices, const QStringList& macs);
    void run() override;

private:
    QStringList m_macs;
};
