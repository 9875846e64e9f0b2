#pragma once

#include <QString>

struct cJSON;

// One RTP receive channel of a device (rtp0 to rtp9 in the commands).
class RtpSettings
{
public:
    RtpSettings() = default;
    RtpSettings(int enable, const QString& rtpIP, int rtpPort)
        : enable(enable), rtpIP(rtpIP), rtpPort(rtpPort)
    {
    }
    virtual ~RtpSettings() = default;
    RtpSettings(const RtpSettings&) = default;
    RtpSettings& operator=(const RtpSettings&) = default;

    bool isSet() const { return !rtpIP.isEmpty() && rtpPort >= 1; }
    void reset();

    // A channel object of GetRtpSettings; a missing object resets the channel.
    void readJson(const cJSON* object);
    // A new object with "enable", "rtpIP", "rtpPort" in this order; the caller deletes it.
    cJSON* toJson() const;

    bool operator==(const RtpSettings& other) const
    {
        return enable == other.enable && rtpIP == other.rtpIP && rtpPort == other.rtpPort;
    }

    int enable = 0;
    QString rtpIP;
    int rtpPort = 0;
};
