#pragma once

#include "DeviceJob.h"
#include "RtpChannelSettings.h"
#include "SipAccountSettings.h"

#include <QList>
#include <QString>
#include <QStringList>

// The device operations both front ends run through a DeviceJob, each with the
// record fields it changes once the device has taken it. Lists hold one value
// per device, indexed like the job's first list.
namespace DeviceTasks {

DeviceJob::Task setName(const QStringList& names);
// One device's static address settings.
struct StaticAddress
{
    QString ip;
    QString gateway;
    QString netmask;
    QString dns1;
    QString dns2;
};
// Static addresses: addresses[i] for device i.
DeviceJob::Task setStaticIp(const QList<StaticAddress>& addresses);
// The new address is the DHCP server's to give; the table learns it at the next search.
DeviceJob::Task setDhcp();
DeviceJob::Task setMac(const QStringList& macs);
// digest is what goes out instead of the typed password (BatchRules::passwordDigest).
DeviceJob::Task setWebAccount(const QString& account, const QString& digest);
DeviceJob::Task factoryReset();
DeviceJob::Task reboot();
DeviceJob::Task playTestSound();
DeviceJob::Task setVolume(int micVolume, int outVolume, int autoMute);
DeviceJob::Task writeSip(const SipAccountSettings& account1, const SipAccountSettings& account2);
DeviceJob::Task writeRtp(const QList<RtpChannelSettings>& channels);

} // namespace DeviceTasks
