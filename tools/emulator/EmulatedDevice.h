#pragma once

#include "EmulatorFrames.h"

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QVector>
#include <array>

namespace orvane {

struct SipAccount
{
    QString serverHost;
    QString serverPort;
    QString displayName;
    QString account;
    QString password;
};

struct RtpChannel
{
    int enable = 0;
    QString rtpIP;
    int rtpPort = 0;
};

struct DeviceState
{
    MacAddress mac{};
    // Where replies come from; follows a successful static SetIp.
    Ipv4Address address{};
    QString name, type, ipMode, version, ip, gateway, netmask, dns1, dns2, sn, uid;
    QString account, password;
    int micVolume = 0;
    int outVolume = 0;
    int autoMute = 0;
    std::array<SipAccount, 2> sip;
    std::array<RtpChannel, 10> rtp;
    // Further members of the search reply, in order: key and JSON text of the value.
    QVector<QPair<QString, QByteArray>> extras;
};

// Ways a device can let the program down; any number may be combined.
struct Misbehaviour
{
    bool silent = false;
    int delayMs = 0;
    bool twice = false;
    bool fail = false;
    bool brokenJson = false;
    bool capitalSearch = false;
    bool idAsString = false;
    bool capitalKeys = false;
    bool fullFrame = false;
    bool foreignReplies = false;
    // The web interface (login and firmware upload).
    bool webOff = false;         // no server: connections are refused
    bool refuseLogin = false;    // every login is refused
    bool webSilent = false;      // connections are taken, nothing is ever answered
    int webSlowMs = 0;           // every answer waits this long
    bool closeMidUpload = false; // the connection is cut halfway through an upload's body
    bool stallUpload = false;    // an upload is taken in (and dropped) but never answered
    bool cookieAfterPath = false; // Set-Cookie: Path=/; session=...
    QByteArray loginReply;       // replaces the body of an accepted login's answer
    int uploadStatus = 0;        // replaces the status of a received upload's answer
};

struct PlannedReply
{
    MacAddress sourceMac{};
    Ipv4Address sourceIp{};
    QByteArray text;
    int delayMs = 0;
};

struct CommandOutcome
{
    QString method;
    // Why the command got no handling at all (malformed, not for this device); empty when handled.
    QString ignored;
    QVector<PlannedReply> replies;
};

// One emulated device: its settings and how it answers one command text.
// Addressing is the caller's business; the device only sees the text.
class EmulatedDevice
{
public:
    static constexpr int RtpChannelCount = 10;

    // The device that --devices makes as its number-th (1-based) device.
    static EmulatedDevice generated(int number);
    // Devices from a JSON array of objects; entry i starts from generated(firstNumber + i).
    static bool fromConfig(const QByteArray& json, int firstNumber, QVector<EmulatedDevice>* devices,
                           QString* error);

    EmulatedDevice() = default;
    explicit EmulatedDevice(const DeviceState& state, const Misbehaviour& misbehaviour = Misbehaviour());

    const DeviceState& state() const { return m_state; }
    const Misbehaviour& misbehaviour() const { return m_misbehaviour; }
    void setMisbehaviour(const Misbehaviour& m) { m_misbehaviour = m; }
    MacAddress mac() const { return m_state.mac; }
    int playCount() const { return m_playCount; }
    int rebootCount() const { return m_rebootCount; }

    // A broadcast is only heeded when it is a search.
    CommandOutcome handle(const QByteArray& text, bool broadcast);

private:
    DeviceState m_initial;
    DeviceState m_state;
    Misbehaviour m_misbehaviour;
    int m_playCount = 0;
    int m_rebootCount = 0;
};

} // namespace orvane
