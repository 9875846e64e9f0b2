#pragma once

#include <QMap>
#include <QMutex>
#include <QString>
#include <atomic>
#include <cstdint>

namespace orvane {

class DeviceReply;

// What is known of one device. The search list, the table model and a running
// job may hold a record at once, so it is reference-counted; the user-interface
// thread paints it while a job's worker updates it, so every field is read and
// written under the record's lock and getters hand out copies.
class DeviceRecord
{
public:
    enum Field
    {
        Mac,
        Name,
        Type,
        IpMode,
        Version,
        Ip,
        Gateway,
        Netmask,
        Dns1,
        Dns2,
        Sn,
        Uid,
        FieldCount
    };

    static DeviceRecord* create();
    // A record from a search reply, or none when the reply is not one.
    static DeviceRecord* makeDevice(const DeviceReply* reply);

    void retain();
    void release();
    uint32_t references() const { return m_references.load(); }

    bool isChecked() const { return m_checked.load(std::memory_order_relaxed); }
    void setChecked(bool checked) { m_checked.store(checked, std::memory_order_relaxed); }

    // Where commands go: the addresses the device answered from.
    void macBytes(uint8_t mac[6]) const;
    void ipBytes(uint8_t ip[4]) const;
    void setIpBytes(const uint8_t ip[4]);
    void setMacBytes(const uint8_t mac[6]);
    // Changes the binary MAC only; false, leaving it as it was, for a text
    // that is not six hexadecimal numbers with one separator each.
    bool setMacText(const QString& text);
    // The six bytes of a MAC text as setMacText reads it; false when it is none.
    static bool parseMac(const QString& text, uint8_t mac[6]);

    // Routes a reply member to its text field, or to others.
    void setField(const QString& key, const QString& value);

    QString text(Field field) const;
    void setText(Field field, const QString& value);

    QString mac() const { return text(Mac); }
    QString name() const { return text(Name); }
    QString type() const { return text(Type); }
    QString ipMode() const { return text(IpMode); }
    QString version() const { return text(Version); }
    QString ip() const { return text(Ip); }
    QString gateway() const { return text(Gateway); }
    QString netmask() const { return text(Netmask); }
    QString dns1() const { return text(Dns1); }
    QString dns2() const { return text(Dns2); }
    QString sn() const { return text(Sn); }
    QString uid() const { return text(Uid); }
    void setMac(const QString& value) { setText(Mac, value); }
    void setName(const QString& value) { setText(Name, value); }
    void setType(const QString& value) { setText(Type, value); }
    void setIpMode(const QString& value) { setText(IpMode, value); }
    void setVersion(const QString& value) { setText(Version, value); }
    void setIp(const QString& value) { setText(Ip, value); }
    void setGateway(const QString& value) { setText(Gateway, value); }
    void setNetmask(const QString& value) { setText(Netmask, value); }
    void setDns1(const QString& value) { setText(Dns1, value); }
    void setDns2(const QString& value) { setText(Dns2, value); }
    void setSn(const QString& value) { setText(Sn, value); }
    void setUid(const QString& value) { setText(Uid, value); }

    QMap<QString, QString> others() const;
    QString value(const QString& key) const;
    int intValue(const QString& key) const;
    void setValue(const QString& key, const QString& value);
    void setIntValue(const QString& key, int value);

    QString account() const { return value(QStringLiteral("account")); }
    void setAccount(const QString& value) { setValue(QStringLiteral("account"), value); }
    QString password() const { return value(QStringLiteral("password")); }
    void setPassword(const QString& value) { setValue(QStringLiteral("password"), value); }
    int autoMute() const { return intValue(QStringLiteral("autoMute")); }

    bool hasMac() const { return !mac().isEmpty(); }
    // The MAC a search reply named in its text when that is not the MAC the
    // frame came from (then the record stands for the sender, not for the
    // device named); empty otherwise.
    QString claimedMac() const;
    bool hasForeignMacClaim() const { return !claimedMac().isEmpty(); }
    // Set by a search that heard this MAC answer as two devices (another UID
    // or address): commands to it would reach both.
    bool sharesMac() const { return m_sharesMac.load(); }
    void setSharesMac(bool shared) { m_sharesMac.store(shared); }

    // Sorting orders for the table: names naturally ("Device 2" before
    // "Device 10") without regard to case, addresses and MACs by their value.
    static bool ipAsc(const DeviceRecord* a, const DeviceRecord* b);
    static bool ipDesc(const DeviceRecord* a, const DeviceRecord* b);
    static bool macAsc(const DeviceRecord* a, const DeviceRecord* b);
    static bool macDesc(const DeviceRecord* a, const DeviceRecord* b);
    static bool nameAsc(const DeviceRecord* a, const DeviceRecord* b);
    static bool nameDesc(const DeviceRecord* a, const DeviceRecord* b);
    static bool uidAsc(const DeviceRecord* a, const DeviceRecord* b);
    static bool uidDesc(const DeviceRecord* a, const DeviceRecord* b);

private:
    DeviceRecord() = default;
    ~DeviceRecord() = default;
    DeviceRecord(const DeviceRecord&) = delete;
    DeviceRecord& operator=(const DeviceRecord&) = delete;

    static int compare(const DeviceRecord* a, const DeviceRecord* b, Field field);
    static int compareNatural(const QString& left, const QString& right);
    static int compareAddresses(const QString& left, const QString& right);
    static int compareMacs(const QString& left, const QString& right);

    std::atomic<uint32_t> m_references{1};
    std::atomic<bool> m_checked{false};
    std::atomic<bool> m_sharesMac{false};

    mutable QMutex m_mutex; // guards m_mac, m_ip, m_texts, m_others, m_claimedMac
    uint8_t m_mac[6] = {};
    uint8_t m_ip[4] = {};
    QString m_texts[FieldCount];
    QMap<QString, QString> m_others;
    QString m_claimedMac;
};

} // namespace orvane
