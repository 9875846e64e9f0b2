#pragma once

#include "PageJob.h"

#include <QStringList>

// Switches devices to DHCP, or gives each its own static address with the
// same gateway, netmask and DNS servers.
class SetIpJob : public PageJob
{
    Q_OBJECT

public:
    enum Mode
    {
        Static,
        Dhcp
    };

    SetIpJob(QWidget* parent, ProtocolClient* sdk);
    ~SetIpJob() override;

    void setMode(Mode mode) { m_mode = mode; }
    Mode mode() const { return m_mode; }
    // One entry per device in every list.
    void setLists(const QList<DeviceRecord*>& devices, const QStringList& ips, const QStringList& gateways,
                  const QStringList& netmasks, const QStringList& dns1s, const QStringList& dns2s);
    void run() override;

private:
    Mode m_mode = Static;
    QStringList m_ips, m_gateways, m_netmasks, m_dns1s, m_dns2s;
};
