#include "ProtocolClient.h"

#include <QThread>

#include "CommandFrame.h"
#include "CommandObserver.h"
#include "DeviceRecord.h"
#include "DeviceReply.h"
#include "CaptureEngine.h"
#include "RawFrame.h"
#include "RtpChannelSettings.h"
#include "SipAccountSettings.h"
#include "CommandLogText.h"
#include "LogFile.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QHash>
#include <QSet>
#include <cjson/cJSON.h>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace orvane {

namespace {
const uint8_t BroadcastMac[6] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
const uint8_t BroadcastIp[4] = {0xff, 0xff, 0xff, 0xff};

const char SearchText[] = "{\"id\":%d,\"method\":\"search\",\"user\":\"Windows Dravlen\"}";
const char AlarmTestSearchText[] =
    "{\"id\":%d,\"method\":\"search\",\"user\":\"Windows Dravlen\", \"alarmTest\":\"enable\"}";

// Ids count as unsigned 32-bit and go out through "%d", as devices have always seen them.
int wireId(uint32_t id)
{
    return static_cast<int>(id);
}
} // namespace

ProtocolClient::ProtocolClient() : m_capture(std::make_unique<CaptureEngine>())
{
    m_capture->setObserver(this);
}

ProtocolClient::~ProtocolClient()
{
    m_capture->stop();
    m_capture->setObserver(nullptr);
}

void ProtocolClient::setFrameSink(FrameSink sink)
{
    QMutexLocker lock(&m_mutex);
    m_sink = std::move(sink);
}

int ProtocolClient::open(const Adapter* adapter)
{
    m_capture->stop();
    bool useCapture;
    {
        QMutexLocker lock(&m_mutex);
        m_adapter = adapter ? std::make_unique<Adapter>(*adapter) : nullptr;
        useCapture = adapter && !m_sink;
    }
    // Ids start again at 0, so answers still queued from before would be taken
    // for answers to the new commands.
    m_replies.clear();
    m_nextId.store(0);
    if (useCapture)
        m_capture->start(adapter);
    return 0;
}

void ProtocolClient::close()
{
    m_capture->stop();
    QMutexLocker lock(&m_mutex);
    m_adapter.reset();
}

bool ProtocolClient::isOpen() const
{
    QMutexLocker lock(&m_mutex);
    return m_adapter != nullptr;
}

bool ProtocolClient::adapterMac(uint8_t mac[6]) const
{
    QMutexLocker lock(&m_mutex);
    if (!m_adapter)
        return false;
    memcpy(mac, m_adapter->mac(), 6);
    return true;
}

bool ProtocolClient::adapterIp(uint32_t* address) const
{
    QMutexLocker lock(&m_mutex);
    if (!m_adapter)
        return false;
    const uint8_t* ip = m_adapter->ip;
    *address = uint32_t(ip[0]) << 24 | uint32_t(ip[1]) << 16 | uint32_t(ip[2]) << 8 | ip[3];
    return true;
}

bool ProtocolClient::sendFrame(RawFrame* frame)
{
    if (!frame)
        return false;
    FrameSink sink;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_adapter) {
            frame->release();
            return false;
        }
        sink = m_sink;
    }
    if (sink)
        sink(frame);
    else
        m_capture->send(frame);
    return true;
}

void ProtocolClient::setFrameListener(FrameListener listener)
{
    QMutexLocker lock(&m_mutex);
    m_listener = std::move(listener);
}

bool ProtocolClient::sendCommand(const uint8_t mac[6], const uint8_t ip[4], const char* text, int length)
{
    uint8_t ownMac[6];
    uint8_t ownIp[4];
    FrameSink sink;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_adapter)
            return false;
        memcpy(ownMac, m_adapter->mac(), sizeof ownMac);
        memcpy(ownIp, m_adapter->ip, sizeof ownIp);
        sink = m_sink;
    }
    RawFrame* frame = CommandFrame::build(ownMac, ownIp, mac, ip, text, length);
    if (!frame) {
        ORVANE_LOG("command text of %d bytes does not fit into a frame, not sent\n", length);
        return false;
    }
    if (sink)
        sink(frame);
    else
        m_capture->send(frame);
    if (CommandObserver* observer = m_observer.load())
        observer->onSendCommand(this, text);
    // Debug output reaches standard error unfiltered: passwords stay out of it.
    if (QLoggingCategory::defaultCategory()->isDebugEnabled())
        qDebug("send %s", CommandLogText::maskPasswords(QByteArray(text, length)).constData());
    return true;
}

RawFrame* ProtocolClient::nextReplyFrame(const QDeadlineTimer& deadline)
{
    for (;;) {
        // The count is read before the flag: a cancel landing between the two
        // then still ends the wait below.
        const unsigned wakeCount = m_replies.wakeCount();
        if (!m_waiting.load() || deadline.hasExpired())
            return nullptr;
        const qint64 remaining = deadline.remainingTime();
        const int timeoutMs = remaining < 0 ? -1 : static_cast<int>(qMin<qint64>(remaining, INT_MAX));
        if (RawFrame* frame = m_replies.waitPop(timeoutMs, wakeCount))
            return frame;
    }
}

bool ProtocolClient::startOperation(unsigned* cancels)
{
    *cancels = m_cancelsSince.value_or(m_cancels.load());
    if (m_cancels.load() == *cancels)
        return true;
    m_lastOutcome.store(Outcome::Cancelled);
    return false;
}

void ProtocolClient::beginWait(unsigned cancelsSeen)
{
    m_waiting.store(true);
    // A cancel that came after the command started but before its wait began
    // still ends this wait at once.
    if (m_cancels.load() != cancelsSeen)
        m_waiting.store(false);
}

std::unique_ptr<DeviceReply> ProtocolClient::waitReplySince(uint32_t id, const uint8_t* fromMac, int timeoutMs,
                                                            unsigned cancelsSeen)
{
    const QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                                : QDeadlineTimer(timeoutMs));
    beginWait(cancelsSeen);
    // Late answers to earlier commands and other hosts' frames are consumed here.
    while (RawFrame* frame = nextReplyFrame(deadline)) {
        std::unique_ptr<DeviceReply> reply = DeviceReply::fromFrame(*frame);
        frame->release();
        // Ids are small and predictable, as devices expect them; what a third
        // host cannot fake by accident is sending from the device's own MAC.
        if (reply->answers(id) && (!fromMac || reply->isFrom(fromMac)))
            return reply;
    }
    return nullptr;
}

bool ProtocolClient::waitUntilCaptureOpen(int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_capture->isOpen()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(5);
    }
    return true;
}

void ProtocolClient::cancelWait()
{
    m_cancels.fetch_add(1);
    m_waiting.store(false);
    m_replies.wake();
}

void ProtocolClient::onPacket(RawFrame* frame)
{
    if (!frame)
        return;
    uint8_t ownMac[6];
    bool open;
    {
        QMutexLocker lock(&m_mutex);
        open = m_adapter != nullptr;
        if (open)
            memcpy(ownMac, m_adapter->mac(), sizeof ownMac);
        // Called under the lock so that a listener is never called after
        // setFrameListener() has removed it and its owner's state is gone.
        if (m_listener)
            m_listener(*frame);
    }
    if (!CommandFrame::isCommandFrame(*frame, open ? ownMac : nullptr))
        return;
    // Capture is promiscuous: a frame for another host answers nothing of ours,
    // whatever id it carries, and must not crowd the queue.
    if (open && memcmp(frame->bytes(), ownMac, sizeof ownMac) != 0)
        return;
    const char* text = CommandFrame::text(*frame);
    if (QLoggingCategory::defaultCategory()->isDebugEnabled())
        qDebug("recv %s", CommandLogText::maskPasswords(QByteArray(text)).constData());
    if (CommandObserver* observer = m_observer.load())
        observer->onRecvCommand(this, text);
    while (m_replies.size() >= MaxQueuedReplies) {
        RawFrame* oldest = m_replies.pop();
        if (!oldest)
            break;
        oldest->release();
    }
    frame->retain();
    m_replies.push(frame);
}

void ProtocolClient::search(QList<DeviceRecord*>& devices, int timeoutMs, bool alarmTest,
                            const SearchProgress& progress)
{
    devices.clear();
    unsigned cancels = 0;
    if (!startOperation(&cancels)) {
        QMutexLocker lock(&m_mutex);
        m_lastSearch = SearchSummary();
        return;
    }
    const uint32_t id = takeId();
    char text[CommandBufferSize];
    const int length = snprintf(text, sizeof text, alarmTest ? AlarmTestSearchText : SearchText, wireId(id));
    sendCommand(BroadcastMac, BroadcastIp, text, length);

    const QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                                : QDeadlineTimer(timeoutMs));
    beginWait(cancels);
    SearchSummary summary;
    // Duplicates are dropped as they arrive: a device (or a host posing as
    // many) answering without pause must not grow the list until the deadline.
    // For each sender, its record and what identified the first answer, so that
    // two devices configured with one MAC are told from one device answering twice.
    struct Seen
    {
        DeviceRecord* device = nullptr;
        QString uid;
        uint32_t ip = 0;
    };
    QHash<quint64, Seen> senders;
    auto ipOf = [](const DeviceReply& r) {
        const uint8_t* ip = r.ip();
        return uint32_t(ip[0]) << 24 | uint32_t(ip[1]) << 16 | uint32_t(ip[2]) << 8 | ip[3];
    };
    auto uidOf = [](const DeviceReply& r) {
        const cJSON* uid = r.member("uid");
        return cJSON_IsString(uid) && uid->valuestring ? QString::fromUtf8(uid->valuestring) : QString();
    };
    while (RawFrame* frame = nextReplyFrame(deadline)) {
        std::unique_ptr<DeviceReply> reply = DeviceReply::fromFrame(*frame);
        frame->release();
        if (reply->hasDuplicateKeys()) {
            ++summary.refused;
            continue;
        }
        if (!reply->answers(id))
            continue;
        quint64 sender = 0;
        for (int i = 0; i < 6; ++i)
            sender = (sender << 8) | reply->mac()[i];
        const auto seen = senders.constFind(sender);
        if (seen != senders.constEnd()) {
            ++summary.duplicates;
            if (!seen->device->sharesMac() && (seen->uid != uidOf(*reply) || seen->ip != ipOf(*reply))) {
                seen->device->setSharesMac(true);
                ++summary.sharedMacs;
            }
            continue;
        }
        if (devices.size() >= MaxSearchDevices) {
            ++summary.overflow;
            continue;
        }
        if (DeviceRecord* device = DeviceRecord::makeDevice(reply.get())) {
            senders.insert(sender, Seen{device, uidOf(*reply), ipOf(*reply)});
            devices.append(device);
            if (device->hasForeignMacClaim())
                ++summary.foreignClaims;
            if (progress && !progress(*device, devices.size()))
                break;
        }
    }
    summary.devices = devices.size();
    if (summary.sharedMacs)
        ORVANE_LOG("search: %d MAC(s) answered as two devices\n", summary.sharedMacs);
    if (summary.overflow || summary.refused || summary.foreignClaims)
        ORVANE_LOG("search: %d devices; %d answers beyond %d devices not kept, %d refused for naming a key twice, "
              "%d naming a MAC other than their own\n",
              summary.devices, summary.overflow, MaxSearchDevices, summary.refused, summary.foreignClaims);
    QMutexLocker lock(&m_mutex);
    m_lastSearch = summary;
}

ProtocolClient::SearchSummary ProtocolClient::lastSearch() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastSearch;
}

bool ProtocolClient::fits(const char* method, int length, int limit)
{
    if (length >= 0 && length <= limit)
        return true;
    // A command cut short would reach the device as broken JSON or, worse, as a
    // shorter value that parses; refuse it whole. The text itself may hold a password.
    ORVANE_LOG("%s not sent: its text of %d bytes exceeds %d bytes\n", method, length, limit);
    m_lastOutcome.store(Outcome::NotSent);
    return false;
}

std::unique_ptr<DeviceReply> ProtocolClient::requestV(DeviceRecord* device, const char* method,
                                                      const char* pattern, va_list args)
{
    if (!device) {
        notSent();
        return nullptr;
    }
    const uint32_t id = takeId();
    const QByteArray head = "{\"id\":" + QByteArray::number(wireId(id)) + ',';
    char body[CommandBufferSize];
    const int length = vsnprintf(body, sizeof body, pattern, args);
    if (length < 0 || !fits(method, head.size() + length, MaxCommandLength))
        return nullptr;
    return exchange(device, id, head + QByteArray(body, length));
}

std::unique_ptr<DeviceReply> ProtocolClient::request(DeviceRecord* device, const char* method,
                                                     const char* pattern, ...)
{
    va_list args;
    va_start(args, pattern);
    std::unique_ptr<DeviceReply> reply = requestV(device, method, pattern, args);
    va_end(args);
    return reply;
}

int ProtocolClient::command(DeviceRecord* device, const char* method, const char* pattern, ...)
{
    va_list args;
    va_start(args, pattern);
    const std::unique_ptr<DeviceReply> reply = requestV(device, method, pattern, args);
    va_end(args);
    return finish(reply.get());
}

std::unique_ptr<DeviceReply> ProtocolClient::exchange(DeviceRecord* device, uint32_t id,
                                                      const QByteArray& text)
{
    uint8_t mac[6];
    uint8_t ip[4];
    device->macBytes(mac);
    device->ipBytes(ip);
    unsigned cancels = 0;
    if (!startOperation(&cancels))
        return nullptr;
    const bool sent = sendCommand(mac, ip, text.constData(), text.size());
    // Without an adapter the wait still runs its course, as the callers expect.
    std::unique_ptr<DeviceReply> reply = waitReplySince(id, mac, ReplyTimeoutMs, cancels);
    if (!reply)
        m_lastOutcome.store(!sent               ? Outcome::NotSent
                            : !m_waiting.load() ? Outcome::Cancelled
                                                : Outcome::NoAnswer);
    return reply;
}

int ProtocolClient::finish(const DeviceReply* reply)
{
    if (!reply)
        return -1; // the outcome was recorded when the wait ended
    const bool success = reply->isSuccess();
    m_lastOutcome.store(success ? Outcome::Success : Outcome::Failed);
    return success ? 0 : -1;
}

int ProtocolClient::notSent()
{
    m_lastOutcome.store(Outcome::NotSent);
    return -1;
}

QByteArray ProtocolClient::jsonEscape(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        const unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (u < 0x20) {
                char escaped[8];
                snprintf(escaped, sizeof escaped, "\\u%04x", u);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out;
}

int ProtocolClient::setIpDhcp(DeviceRecord* device)
{
    return command(device, "SetIp", "\"method\":\"SetIp\",\"IpMode\":\"dhcp\"}");
}

int ProtocolClient::setIpStatic(DeviceRecord* device, const QString& ip, const QString& gateway,
                                const QString& netmask, const QString& dns1, const QString& dns2)
{
    return command(device, "SetIp",
                   "\"method\":\"SetIp\",\"IpMode\":\"static\",\"ip\":\"%s\",\"gateway\":\"%s\","
                   "\"netmask\":\"%s\",\"dns1\":\"%s\",\"dns2\":\"%s\"}",
                   jsonEscape(ip).constData(), jsonEscape(gateway).constData(),
                   jsonEscape(netmask).constData(), jsonEscape(dns1).constData(),
                   jsonEscape(dns2).constData());
}

int ProtocolClient::setSN(DeviceRecord* device, const QString& sn)
{
    return command(device, "SetSN", "\"method\":\"SetSN\",\"sn\":\"%s\"}", jsonEscape(sn).constData());
}

int ProtocolClient::setName(DeviceRecord* device, const QString& name)
{
    return command(device, "SetName", "\"method\":\"SetName\",\"name\":\"%s\"}",
                   jsonEscape(name).constData());
}

int ProtocolClient::setMac(DeviceRecord* device, const QString& mac)
{
    return command(device, "SetMac", "\"method\":\"SetMac\",\"mac\":\"%s\"}", jsonEscape(mac).constData());
}

int ProtocolClient::setServer(DeviceRecord* device, const QString& serverIp, int port)
{
    return command(device, "SetServer", "\"method\":\"SetServer\",\"serverIp\":\"%s\",\"serverPort\":%d}",
                   jsonEscape(serverIp).constData(), port);
}

int ProtocolClient::setDeviceInfo(DeviceRecord* device, const QString& areaCode, const QString& number,
                                  const QString& name, int powerLevel,
                                  const QString& resourceTypeSequenceCode,
                                  const QString& resourceSonTypeSequenceCode, const QString& resourceTypeCode,
                                  const QString& resourceSonTypeCode)
{
    return command(
        device, "SetDeviceInfo",
        "\"method\":\"SetDeviceInfo\",\"areaCode\":\"%s\",\"number\":\"%s\",\"name\":\"%s\","
        "\"powerLevel\":%d,\"resourceTypeSequenceCode\":\"%s\",\"resourceSonTypeSequenceCode\":\"%s\","
        "\"resourceTypeCode\":\"%s\",\"resourceSonTypeCode\":\"%s\"}",
        jsonEscape(areaCode).constData(), jsonEscape(number).constData(), jsonEscape(name).constData(),
        powerLevel, jsonEscape(resourceTypeSequenceCode).constData(),
        jsonEscape(resourceSonTypeSequenceCode).constData(), jsonEscape(resourceTypeCode).constData(),
        jsonEscape(resourceSonTypeCode).constData());
}

int ProtocolClient::playVolume(DeviceRecord* device)
{
    return command(device, "PlayVolume", "\"method\":\"PlayVolume\"}");
}

int ProtocolClient::setDeviceVolume(DeviceRecord* device, int micVolume, int outVolume, int autoMute)
{
    return command(device, "SetDeviceVolume",
                   "\"method\":\"SetDeviceVolume\", \"micVolume\":%d, \"outVolume\":%d, \"autoMute\":%d}",
                   micVolume, outVolume, autoMute);
}

int ProtocolClient::setAccountPassword(DeviceRecord* device, const QString& account, const QString& password)
{
    return command(device, "SetAccountPassword",
                   "\"method\":\"SetAccountPassword\", \"account\":\"%s\", \"password\":\"%s\"}",
                   jsonEscape(account).constData(), jsonEscape(password).constData());
}

int ProtocolClient::getSipSettings(DeviceRecord* device, SipAccountSettings& sip0, SipAccountSettings& sip1)
{
    std::unique_ptr<DeviceReply> reply = request(device, "GetSipSettings", "\"method\":\"GetSipSettings\"}");
    if (!reply)
        return -1;
    sip0.readJson(reply->member("sip0"));
    sip1.readJson(reply->member("sip1"));
    return finish(reply.get());
}

int ProtocolClient::setSipSettings(DeviceRecord* device, const SipAccountSettings& sip0,
                                   const SipAccountSettings& sip1)
{
    const QByteArray first = sip0.toText();
    const QByteArray second = sip1.toText();
    if (!fits("SetSipSettings sip0", first.size(), SipAccountSettings::MaxTextLength) ||
        !fits("SetSipSettings sip1", second.size(), SipAccountSettings::MaxTextLength))
        return -1;
    return command(device, "SetSipSettings", "\"method\":\"SetSipSettings\",\"sip0\":%s,\"sip1\":%s}",
                   first.constData(), second.constData());
}

int ProtocolClient::getRtpSettings(DeviceRecord* device, QList<RtpChannelSettings>& channels)
{
    std::unique_ptr<DeviceReply> reply = request(device, "GetRtpSettings", "\"method\":\"GetRtpSettings\"}");
    // Every channel is filled whatever the outcome; without an answer all are reset.
    for (int i = 0; i < RtpChannelCount && i < channels.size(); ++i) {
        char name[16];
        snprintf(name, sizeof name, "rtp%d", i);
        channels[i].readJson(reply ? reply->member(name) : nullptr);
    }
    return finish(reply.get());
}

int ProtocolClient::setRtpSettings(DeviceRecord* device, const QList<RtpChannelSettings>& channels)
{
    // The comma goes before each channel rather than after it, so that a list of
    // any length (the RTP page may pass an empty one) still gives valid JSON.
    QByteArray text;
    for (int i = 0; i < RtpChannelCount && i < channels.size(); ++i) {
        cJSON* object = channels[i].toJson();
        char* printed = cJSON_Print(object);
        cJSON_Delete(object);
        if (!printed)
            return notSent();
        text += ",\"rtp" + QByteArray::number(i) + "\":";
        text += printed;
        cJSON_free(printed);
    }
    return command(device, "SetRtpSettings", "\"method\":\"SetRtpSettings\"%s}", text.constData());
}

int ProtocolClient::reboot(DeviceRecord* device)
{
    return command(device, "reboot", "\"method\":\"reboot\"}");
}

int ProtocolClient::resetDefault(DeviceRecord* device)
{
    return command(device, "ResetDefault", "\"method\":\"ResetDefault\"}");
}

} // namespace orvane
