#pragma once

#include "DeviceJob.h"
#include "RtpChannelSettings.h"
#include "SipAccountSettings.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

namespace orvane {

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

// What a read of one device gives back. The worker fills it unless the read
// was cancelled (done stays false then); look at it once the job is over.
struct SipRead
{
    bool done = false;
    SipAccountSettings account1;
    SipAccountSettings account2;
};
DeviceJob::Task readSip(const std::shared_ptr<SipRead>& into);
// Ten channels; without an answer they are all reset.
struct RtpRead
{
    bool done = false;
    QList<RtpChannelSettings> channels;
};
DeviceJob::Task readRtp(const std::shared_ptr<RtpRead>& into);

// Uploads file to the devices' web interfaces, up to FirmwareJob::MaxUploads at
// a time; a timeout of 0 keeps the upload thread's own.
DeviceJob::Task upgradeFirmware(const QString& file, int loginTimeoutMs = 0, int uploadTimeoutMs = 0);

} // namespace DeviceTasks

} // namespace orvane
