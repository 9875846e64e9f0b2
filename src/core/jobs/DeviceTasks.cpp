#include "DeviceTasks.h"

#include "DeviceRecord.h"
#include "ProtocolClient.h"

namespace DeviceTasks {

DeviceJob::Task setName(const QStringList& names)
{
    return {QStringLiteral("Setting name"),
            [names](ProtocolClient& client, DeviceRecord* device, int i) {
                return i < names.size() ? client.setName(device, names.at(i)) : -1;
            },
            [names](DeviceRecord* device, int i) { device->setName(names.at(i)); }};
}

DeviceJob::Task setStaticIp(const QStringList& ips, const QString& gateway, const QString& netmask,
                            const QString& dns1, const QString& dns2)
{
    return {QStringLiteral("Setting IP address"),
            [=](ProtocolClient& client, DeviceRecord* device, int i) {
                return i < ips.size() ? client.setIpStatic(device, ips.at(i), gateway, netmask, dns1, dns2) : -1;
            },
            [=](DeviceRecord* device, int i) {
                // The ipMode text and the binary address commands go to stay as the search found them.
                device->setIp(ips.at(i));
                device->setGateway(gateway);
                device->setNetmask(netmask);
                device->setDns1(dns1);
                device->setDns2(dns2);
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
    const QString summary = SipAccountSettings::summary(account1, account2);
    return {QStringLiteral("Setting SIP accounts"),
            [=](ProtocolClient& client, DeviceRecord* device, int) {
                return client.setSipSettings(device, account1, account2);
            },
            [=](DeviceRecord* device, int) { device->setField(QStringLiteral("sipInfo"), summary); }};
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

} // namespace DeviceTasks
