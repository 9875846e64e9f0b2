#pragma once

#include <QList>
#include <QString>

struct cJSON;

namespace orvane {

// One RTP receive channel of a device (rtp0 to rtp9 in the commands).
class RtpChannelSettings
{
public:
    RtpChannelSettings() = default;
    RtpChannelSettings(int enable, const QString& rtpIP, int rtpPort)
        : enable(enable), rtpIP(rtpIP), rtpPort(rtpPort)
    {
    }
    virtual ~RtpChannelSettings() = default;
    RtpChannelSettings(const RtpChannelSettings&) = default;
    RtpChannelSettings& operator=(const RtpChannelSettings&) = default;

    static constexpr int MaxPort = 65535;

    bool isSet() const { return !rtpIP.isEmpty() && rtpPort >= 1; }
    void reset();

    // An enabled channel from "address:port", split at the last colon so that
    // an address holding colons stays whole. No colon, or one in front, leaves
    // the text as the address; a port that is missing, not a decimal number or
    // beyond MaxPort becomes 0 rather than reaching the device.
    static RtpChannelSettings fromEndpointText(const QString& text);
    // The reverse for display: empty without an address, the address alone
    // without a port.
    QString endpointText() const;
    // "address:port" of the first channel that is set, or empty text.
    static QString summary(const QList<RtpChannelSettings>& channels);

    // A channel object of GetRtpSettings; a missing object resets the channel.
    void readJson(const cJSON* object);
    // A new object with "enable", "rtpIP", "rtpPort" in this order; the caller deletes it.
    cJSON* toJson() const;

    bool operator==(const RtpChannelSettings& other) const
    {
        return enable == other.enable && rtpIP == other.rtpIP && rtpPort == other.rtpPort;
    }

    int enable = 0;
    QString rtpIP;
    int rtpPort = 0;
};

} // namespace orvane
