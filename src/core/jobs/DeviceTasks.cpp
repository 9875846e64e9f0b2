#include "DeviceTasks.h"

#include "BatchRules.h"

#include "DeviceRecord.h"
#include "FirmwareJob.h"
#include "ProtocolClient.h"

#include <QVector>

namespace orvane {

namespace DeviceTasks {

DeviceJob::Task setName(const QStringList& names)
{
    return {QStringLiteral("Setting name"),
            [names](ProtocolClient& client, DeviceRecord* device, int i) {
                return i < names.size() ? client.setName(device, names.at(i)) : -1;
            },
            [names](DeviceRecord* device, int i) { device->setName(names.at(i)); }};
}

DeviceJob::Task setStaticIp(const QList<StaticAddress>& addresses)
{
    return {QStringLiteral("Setting IP address"),
            [=](ProtocolClient& client, DeviceRecord* device, int i) {
                if (i >= addresses.size())
                    return -1;
                const StaticAddress& a = addresses.at(i);
                return client.setIpStatic(device, a.ip, a.gateway, a.netmask, a.dns1, a.dns2);
            },
            [=](DeviceRecord* device, int i) {
                // The ipMode text and the binary address commands go to stay as the search found them.
                const StaticAddress& a = addresses.at(i);
                device->setIp(a.ip);
                device->setGateway(a.gateway);
                device->setNetmask(a.netmask);
                device->setDns1(a.dns1);
                device->setDns2(a.dns2);
            }};
}

DeviceJob::Task setDhcp()
{
    return {QStringLiteral("Switching to DHCP"),
            [](ProtocolClient& client, DeviceRecord* device, int) { return client.setIpDhcp(device); }, {}};
}

DeviceJob::Task setMac(const QStringList& macs)
{
    return {QStringLiteral("Setting MAC address"),
            [macs](ProtocolClient& client, DeviceRecord* device, int i) {
                return i < macs.size() ? client.setMac(device, macs.at(i)) : -1;
            },
            [macs](DeviceRecord* device, int i) {
                device->setMac(macs.at(i));
                // A text that is not six numbers leaves the binary address as it was.
                device->setMacText(macs.at(i));
            }};
}

DeviceJob::Task setWebAccount(const QString& account, const QString& digest)
{
    return {QStringLiteral("Setting web login"),
            [=](ProtocolClient& client, DeviceRecord* device, int) {
                return client.setAccountPassword(device, account, digest);
            },
            [=](DeviceRecord* device, int) {
                device->setAccount(account);
                device->setPassword(digest);
            }};
}

DeviceJob::Task factoryReset()
{
    return {QStringLiteral("Restoring factory settings"),
            [](ProtocolClient& client, DeviceRecord* device, int) { return client.resetDefault(device); }, {}};
}

DeviceJob::Task reboot()
{
    return {QStringLiteral("Rebooting"),
            [](ProtocolClient& client, DeviceRecord* device, int) { return client.reboot(device); }, {}};
}

DeviceJob::Task playTestSound()
{
    return {QStringLiteral("Playing test sound"),
            [](ProtocolClient& client, DeviceRecord* device, int) { return client.playVolume(device); }, {}};
}

DeviceJob::Task setVolume(int micVolume, int outVolume, int autoMute)
{
    return {QStringLiteral("Setting volume"),
            [=](ProtocolClient& client, DeviceRecord* device, int) {
                return client.setDeviceVolume(device, micVolume, outVolume, autoMute);
            },
            [=](DeviceRecord* device, int) {
                device->setIntValue(QStringLiteral("micVolume"), micVolume);
                device->setIntValue(QStringLiteral("outVolume"), outVolume);
                device->setIntValue(QStringLiteral("autoMute"), autoMute);
            }};
}

DeviceJob::Task writeSip(const SipAccountSettings& account1, const SipAccountSettings& account2)
{
    // "{n}" in an account gives each device of a batch its own number.
    auto numbered = [=](int i, SipAccountSettings* first, SipAccountSettings* second) {
        *first = account1;
        *second = account2;
        first->account = BatchRules::numbered(account1.account, i);
        second->account = BatchRules::numbered(account2.account, i);
    };
    return {QStringLiteral("Setting SIP accounts"),
            [=](ProtocolClient& client, DeviceRecord* device, int i) {
                SipAccountSettings first, second;
                numbered(i, &first, &second);
                return client.setSipSettings(device, first, second);
            },
            [=](DeviceRecord* device, int i) {
                SipAccountSettings first, second;
                numbered(i, &first, &second);
                device->setField(QStringLiteral("sipInfo"), SipAccountSettings::summary(first, second));
            }};
}

DeviceJob::Task writeRtp(const QList<RtpChannelSettings>& channels)
{
    const QString summary = RtpChannelSettings::summary(channels);
    return {QStringLiteral("Setting RTP channels"),
            [=](ProtocolClient& client, DeviceRecord* device, int) { return client.setRtpSettings(device, channels); },
            [=](DeviceRecord* device, int) {
                // Without channels the command changes none of them, so an empty
                // summary would wrongly tell the operator the device has none.
                if (!channels.isEmpty())
                    device->setField(QStringLiteral("rtpInfo"), summary);
            }};
}

DeviceJob::Task readSip(const std::shared_ptr<SipRead>& into)
{
    return {QStringLiteral("Reading SIP accounts"),
            [into](ProtocolClient& client, DeviceRecord* device, int) {
                SipRead read;
                const int code = client.getSipSettings(device, read.account1, read.account2);
                read.done = client.lastOutcome() != ProtocolClient::Outcome::Cancelled;
                if (read.done)
                    *into = read;
                return code;
            },
            {}};
}

DeviceJob::Task readRtp(const std::shared_ptr<RtpRead>& into)
{
    return {QStringLiteral("Reading RTP channels"),
            [into](ProtocolClient& client, DeviceRecord* device, int) {
                RtpRead read;
                for (int i = 0; i < ProtocolClient::RtpChannelCount; ++i)
                    read.channels.append(RtpChannelSettings());
                const int code = client.getRtpSettings(device, read.channels);
                read.done = client.lastOutcome() != ProtocolClient::Outcome::Cancelled;
                if (read.done)
                    *into = read;
                return code;
            },
            {}};
}

DeviceJob::Task upgradeFirmware(const QString& file, int loginTimeoutMs, int uploadTimeoutMs)
{
    DeviceJob::Task task{QStringLiteral("Upgrading firmware"), {}, {}};
    task.batch = [=](const QList<DeviceRecord*>& devices, const std::function<bool()>& cancelled,
                     const DeviceJob::Done& done) {
        FirmwareJob job(devices, file);
        if (loginTimeoutMs > 0 && uploadTimeoutMs > 0)
            job.setTimeouts(loginTimeoutMs, uploadTimeoutMs);
        QVector<bool> told(devices.size());
        // Polled between uploads, so that the operator sees each device as it ends.
        auto tellEnded = [&] {
            const QList<FirmwareJob::Upload> uploads = job.results();
            QList<DeviceResult> results;
            for (int i = 0; i < uploads.size() && i < told.size(); ++i) {
                if (told[i] || uploads.at(i).result.outcome == FirmwareUploadThread::Outcome::NotRun)
                    continue;
                if (results.isEmpty())
                    results = job.deviceResults();
                told[i] = true;
                done(i, results.at(i).outcome, results.at(i).detail);
            }
        };
        job.run([&] {
            tellEnded();
            return cancelled();
        });
        tellEnded();
    };
    return task;
}

} // namespace DeviceTasks

} // namespace orvane
