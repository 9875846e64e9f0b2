#include "SetIpJob.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

SetIpJob::SetIpJob(QWidget* parent, ProtocolClient* sdk) : PageJob(parent, sdk) {}

SetIpJob::~SetIpJob()
{
    stop();
}

void SetIpJob::setLists(const QList<DeviceRecord*>& devices, const QStringList& ips,
                                     const QStringList& gateways, const QStringList& netmasks,
                                     const QStringList& dns1s, const QStringList& dns2s)
{
    setDevices(devices);
    m_ips = ips;
    m_gateways = gateways;
    m_netmasks = netmasks;
    m_dns1s = dns1s;
    m_dns2s = dns2s;
}

void SetIpJob::run()
{
    const QList<DeviceRecord*> targets = devices();
    for (int i = 0; i < targets.size(); ++i) {
        if (isStopped())
            break;
        DeviceRecord* device = targets.at(i);
        if (m_mode == Dhcp) {
            // The new address is the DHCP server's to give; the table learns it at the next search.
            sdk()->setIpDhcp(device);
            continue;
        }
        if (i >= m_ips.size() || i >= m_gateways.size() || i >= m_netmasks.size() || i >= m_dns1s.size() ||
            i >= m_dns2s.size())
            break;
        if (sdk()->setIpStatic(device, m_ips.at(i), m_gateways.at(i), m_netmasks.at(i), m_dns1s.at(i),
                               m_dns2s.at(i)) == 0) {
            device->setIp(m_ips.at(i));
            device->setGateway(m_gateways.at(i));
            device->setNetmask(m_netmasks.at(i));
            device->setDns1(m_dns1s.at(i));
            device->setDns2(m_dns2s.at(i));
        }
    }
    emit workFinished();
}
