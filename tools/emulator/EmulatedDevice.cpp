#include "EmulatedDevice.h"

#include <cjson/cJSON.h>
#include <memory>

namespace orvane {

namespace {

struct JsonDeleter
{
    void operator()(cJSON* json) const { cJSON_Delete(json); }
};
using JsonPtr = std::unique_ptr<cJSON, JsonDeleter>;

const char SearchMethod[] = "search";
const char DefaultVersion[] = "1.0.0";
const char DefaultSipPort[] = "5060";

bool stringMember(const cJSON* object, const char* key, QString* out)
{
    const cJSON* member = cJSON_GetObjectItemCaseSensitive(object, key);
    if (!cJSON_IsString(member) || !member->valuestring)
        return false;
    *out = QString::fromUtf8(member->valuestring);
    return true;
}

bool intMember(const cJSON* object, const char* key, int* out)
{
    const cJSON* member = cJSON_GetObjectItemCaseSensitive(object, key);
    if (!cJSON_IsNumber(member))
        return false;
    *out = member->valueint;
    return true;
}

void addString(cJSON* object, const char* key, const QString& value)
{
    cJSON_AddStringToObject(object, key, value.toUtf8().constData());
}

QByteArray print(const cJSON* json)
{
    char* printed = cJSON_PrintUnformatted(json);
    const QByteArray text(printed ? printed : "");
    cJSON_free(printed);
    return text;
}

void setExtra(DeviceState* state, const QString& key, const cJSON* value)
{
    const QByteArray text = print(value);
    for (auto& extra : state->extras) {
        if (extra.first == key) {
            extra.second = text;
            return;
        }
    }
    state->extras.append(qMakePair(key, text));
}

cJSON* sipObject(const SipAccount& sip)
{
    cJSON* object = cJSON_CreateObject();
    addString(object, "serverHost", sip.serverHost);
    addString(object, "serverPort", sip.serverPort);
    addString(object, "displayName", sip.displayName);
    addString(object, "account", sip.account);
    addString(object, "password", sip.password);
    return object;
}

bool readSip(const cJSON* object, SipAccount* sip)
{
    if (!cJSON_IsObject(object))
        return false;
    SipAccount s;
    if (!stringMember(object, "serverHost", &s.serverHost) ||
        !stringMember(object, "serverPort", &s.serverPort) ||
        !stringMember(object, "displayName", &s.displayName) ||
        !stringMember(object, "account", &s.account) || !stringMember(object, "password", &s.password))
        return false;
    *sip = s;
    return true;
}

cJSON* rtpObject(const RtpChannel& rtp)
{
    cJSON* object = cJSON_CreateObject();
    cJSON_AddNumberToObject(object, "enable", rtp.enable);
    addString(object, "rtpIP", rtp.rtpIP);
    cJSON_AddNumberToObject(object, "rtpPort", rtp.rtpPort);
    return object;
}

bool readRtp(const cJSON* object, RtpChannel* rtp)
{
    if (!cJSON_IsObject(object))
        return false;
    RtpChannel r;
    if (!intMember(object, "enable", &r.enable) || !stringMember(object, "rtpIP", &r.rtpIP) ||
        !intMember(object, "rtpPort", &r.rtpPort))
        return false;
    *rtp = r;
    return true;
}

QByteArray rtpName(int index)
{
    return QByteArray("rtp") + QByteArray::number(index);
}

void addSearchFields(cJSON* payload, const DeviceState& s)
{
    addString(payload, "mac", EmulatorFrames::macToText(s.mac));
    addString(payload, "name", s.name);
    addString(payload, "type", s.type);
    addString(payload, "ipMode", s.ipMode);
    addString(payload, "version", s.version);
    addString(payload, "ip", s.ip);
    addString(payload, "gateway", s.gateway);
    addString(payload, "netmask", s.netmask);
    addString(payload, "dns1", s.dns1);
    addString(payload, "dns2", s.dns2);
    addString(payload, "sn", s.sn);
    addString(payload, "uid", s.uid);
    addString(payload, "account", s.account);
    addString(payload, "password", s.password);
    cJSON_AddNumberToObject(payload, "autoMute", s.autoMute);
    cJSON_AddNumberToObject(payload, "micVolume", s.micVolume);
    cJSON_AddNumberToObject(payload, "outVolume", s.outVolume);
    for (const auto& extra : s.extras) {
        if (cJSON* value = cJSON_Parse(extra.second.constData()))
            cJSON_AddItemToObject(payload, extra.first.toUtf8().constData(), value);
    }
}

// Copies the tree with every member name in capitals, at every depth.
cJSON* withCapitalKeys(const cJSON* item)
{
    if (cJSON_IsObject(item)) {
        cJSON* object = cJSON_CreateObject();
        for (const cJSON* child = item->child; child; child = child->next)
            cJSON_AddItemToObject(object, QByteArray(child->string).toUpper().constData(),
                                  withCapitalKeys(child));
        return object;
    }
    if (cJSON_IsArray(item)) {
        cJSON* array = cJSON_CreateArray();
        for (const cJSON* child = item->child; child; child = child->next)
            cJSON_AddItemToArray(array, withCapitalKeys(child));
        return array;
    }
    return cJSON_Duplicate(item, true);
}

bool readId(const cJSON* command, long long* id)
{
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(command, "id");
    if (cJSON_IsNumber(item)) {
        *id = static_cast<long long>(item->valuedouble);
        return true;
    }
    if (cJSON_IsString(item) && item->valuestring) {
        bool ok = false;
        *id = QByteArray(item->valuestring).toLongLong(&ok);
        return ok;
    }
    return false;
}

// Carries out one command on the state. Returns the result; members of the
// reply beyond id, method and result go into payload.
bool execute(const QString& method, const cJSON* command, DeviceState* state, const DeviceState& initial,
             cJSON* payload, int* playCount, int* rebootCount)
{
    DeviceState& s = *state;
    if (method == QLatin1String(SearchMethod)) {
        addSearchFields(payload, s);
        return true;
    }
    if (method == QLatin1String("SetIp")) {
        QString mode;
        if (!stringMember(command, "IpMode", &mode))
            return false;
        if (mode == QLatin1String("dhcp")) {
            s.ipMode = mode;
            return true;
        }
        if (mode != QLatin1String("static"))
            return false;
        QString ip, gateway, netmask, dns1, dns2;
        Ipv4Address address;
        if (!stringMember(command, "ip", &ip) || !stringMember(command, "gateway", &gateway) ||
            !stringMember(command, "netmask", &netmask) || !stringMember(command, "dns1", &dns1) ||
            !stringMember(command, "dns2", &dns2) || !EmulatorFrames::ipFromText(ip, &address) ||
            !EmulatorFrames::ipFromText(gateway, nullptr) || !EmulatorFrames::ipFromText(netmask, nullptr))
            return false;
        s.ipMode = mode;
        s.ip = ip;
        s.address = address;
        s.gateway = gateway;
        s.netmask = netmask;
        s.dns1 = dns1;
        s.dns2 = dns2;
        return true;
    }
    if (method == QLatin1String("SetName"))
        return stringMember(command, "name", &s.name);
    if (method == QLatin1String("SetSN"))
        return stringMember(command, "sn", &s.sn);
    if (method == QLatin1String("SetMac")) {
        QString text;
        MacAddress mac;
        if (!stringMember(command, "mac", &text) || !EmulatorFrames::macFromText(text, &mac))
            return false;
        // A group or all-zero address would make the device unreachable.
        if ((mac[0] & 0x01) || mac == MacAddress{})
            return false;
        s.mac = mac;
        return true;
    }
    if (method == QLatin1String("SetServer")) {
        QString host;
        int port = 0;
        if (!stringMember(command, "serverIp", &host) || !intMember(command, "serverPort", &port))
            return false;
        setExtra(&s, QStringLiteral("serverIp"), cJSON_GetObjectItemCaseSensitive(command, "serverIp"));
        setExtra(&s, QStringLiteral("serverPort"), cJSON_GetObjectItemCaseSensitive(command, "serverPort"));
        return true;
    }
    if (method == QLatin1String("SetDeviceInfo")) {
        static const char* const texts[] = {"areaCode",
                                            "number",
                                            "resourceTypeSequenceCode",
                                            "resourceSonTypeSequenceCode",
                                            "resourceTypeCode",
                                            "resourceSonTypeCode"};
        QString name, text;
        int powerLevel = 0;
        if (!stringMember(command, "name", &name) || !intMember(command, "powerLevel", &powerLevel))
            return false;
        for (const char* key : texts) {
            if (!stringMember(command, key, &text))
                return false;
        }
        s.name = name;
        for (const char* key : texts)
            setExtra(&s, QString::fromLatin1(key), cJSON_GetObjectItemCaseSensitive(command, key));
        setExtra(&s, QStringLiteral("powerLevel"), cJSON_GetObjectItemCaseSensitive(command, "powerLevel"));
        return true;
    }
    if (method == QLatin1String("SetDeviceVolume")) {
        int mic = 0, out = 0, mute = 0;
        if (!intMember(command, "micVolume", &mic) || !intMember(command, "outVolume", &out) ||
            !intMember(command, "autoMute", &mute))
            return false;
        s.micVolume = mic;
        s.outVolume = out;
        s.autoMute = mute;
        return true;
    }
    if (method == QLatin1String("SetAccountPassword")) {
        QString account, password;
        if (!stringMember(command, "account", &account) || !stringMember(command, "password", &password))
            return false;
        s.account = account;
        s.password = password;
        return true;
    }
    if (method == QLatin1String("GetSipSettings")) {
        cJSON_AddItemToObject(payload, "sip0", sipObject(s.sip[0]));
        cJSON_AddItemToObject(payload, "sip1", sipObject(s.sip[1]));
        return true;
    }
    if (method == QLatin1String("SetSipSettings")) {
        std::array<SipAccount, 2> sip;
        if (!readSip(cJSON_GetObjectItemCaseSensitive(command, "sip0"), &sip[0]) ||
            !readSip(cJSON_GetObjectItemCaseSensitive(command, "sip1"), &sip[1]))
            return false;
        s.sip = sip;
        return true;
    }
    if (method == QLatin1String("GetRtpSettings")) {
        for (int i = 0; i < EmulatedDevice::RtpChannelCount; ++i)
            cJSON_AddItemToObject(payload, rtpName(i).constData(), rtpObject(s.rtp[size_t(i)]));
        return true;
    }
    if (method == QLatin1String("SetRtpSettings")) {
        // Channels the command leaves out keep their settings.
        std::array<RtpChannel, 10> rtp = s.rtp;
        for (int i = 0; i < EmulatedDevice::RtpChannelCount; ++i) {
            const cJSON* object = cJSON_GetObjectItemCaseSensitive(command, rtpName(i).constData());
            if (object && !readRtp(object, &rtp[size_t(i)]))
                return false;
        }
        s.rtp = rtp;
        return true;
    }
    if (method == QLatin1String("PlayVolume")) {
        ++*playCount;
        return true;
    }
    if (method == QLatin1String("reboot")) {
        ++*rebootCount;
        return true;
    }
    if (method == QLatin1String("ResetDefault")) {
        s = initial;
        return true;
    }
    return false;
}

} // namespace

EmulatedDevice::EmulatedDevice(const DeviceState& state, const Misbehaviour& misbehaviour)
    : m_initial(state), m_state(state), m_misbehaviour(misbehaviour)
{
}

EmulatedDevice EmulatedDevice::generated(int number)
{
    DeviceState s;
    s.mac = {0x02, 0x00, 0x00, 0x00, uint8_t((number >> 8) & 0xff), uint8_t(number & 0xff)};
    // 198.18.1.1 for the first device, counting on through the /15 test range.
    const int host = 256 + number;
    s.address = {198, uint8_t(18 + ((host >> 16) & 1)), uint8_t((host >> 8) & 0xff), uint8_t(host & 0xff)};
    s.ip = EmulatorFrames::ipToText(s.address);
    s.name = QStringLiteral("Device %1").arg(number);
    s.type = number % 2 == 1 ? QStringLiteral("KM41") : QStringLiteral("VQLX63");
    s.ipMode = QStringLiteral("static");
    s.version = QString::fromLatin1(DefaultVersion);
    s.gateway = QStringLiteral("198.18.0.254");
    s.netmask = QStringLiteral("255.254.0.0");
    s.dns1 = QStringLiteral("198.18.0.254");
    s.dns2 = QString();
    s.sn = QStringLiteral("SN%1").arg(number, 8, 10, QLatin1Char('0'));
    s.uid = QStringLiteral("UID%1").arg(number, 6, 10, QLatin1Char('0'));
    s.account = QStringLiteral("admin");
    s.password = QStringLiteral("admin");
    s.micVolume = 5;
    s.outVolume = 5;
    s.autoMute = 0;
    for (SipAccount& sip : s.sip)
        sip.serverPort = QString::fromLatin1(DefaultSipPort);
    return EmulatedDevice(s);
}

namespace {

bool readMisbehaviour(const cJSON* object, Misbehaviour* m, QString* error)
{
    if (!cJSON_IsObject(object)) {
        *error = QStringLiteral("\"misbehave\" is not an object");
        return false;
    }
    const QPair<const char*, bool*> flags[] = {
        {"silent", &m->silent},
        {"twice", &m->twice},
        {"fail", &m->fail},
        {"brokenJson", &m->brokenJson},
        {"capitalSearch", &m->capitalSearch},
        {"idAsString", &m->idAsString},
        {"capitalKeys", &m->capitalKeys},
        {"fullFrame", &m->fullFrame},
        {"foreignReplies", &m->foreignReplies},
        {"webOff", &m->webOff},
        {"refuseLogin", &m->refuseLogin},
        {"webSilent", &m->webSilent},
        {"closeMidUpload", &m->closeMidUpload},
        {"stallUpload", &m->stallUpload},
        {"cookieAfterPath", &m->cookieAfterPath},
    };
    const QPair<const char*, int*> numbers[] = {
        {"delayMs", &m->delayMs},
        {"webSlowMs", &m->webSlowMs},
        {"uploadStatus", &m->uploadStatus},
    };
    for (const cJSON* child = object->child; child; child = child->next) {
        const QByteArray key(child->string);
        bool isNumber = false;
        for (const auto& number : numbers) {
            if (key != number.first)
                continue;
            if (!cJSON_IsNumber(child) || child->valueint < 0) {
                *error = QStringLiteral("\"%1\" is not a number of 0 or more").arg(QString::fromUtf8(key));
                return false;
            }
            *number.second = child->valueint;
            isNumber = true;
        }
        if (isNumber)
            continue;
        if (key == "loginReply") {
            if (!cJSON_IsString(child)) {
                *error = QStringLiteral("\"loginReply\" is not a text");
                return false;
            }
            m->loginReply = QByteArray(child->valuestring);
            continue;
        }
        bool known = false;
        for (const auto& flag : flags) {
            if (key == flag.first) {
                if (!cJSON_IsBool(child)) {
                    *error = QStringLiteral("misbehaviour \"%1\" is not true or false")
                                 .arg(QString::fromUtf8(key));
                    return false;
                }
                *flag.second = cJSON_IsTrue(child);
                known = true;
            }
        }
        // A mistyped name would otherwise leave a test running against a well-behaved device.
        if (!known) {
            *error = QStringLiteral("unknown misbehaviour \"%1\"").arg(QString::fromUtf8(key));
            return false;
        }
    }
    return true;
}

bool readDevice(const cJSON* object, EmulatedDevice* device, QString* error)
{
    DeviceState s = device->state();
    Misbehaviour m;
    QString* const texts[] = {&s.name, &s.type, &s.ipMode, &s.version, &s.gateway, &s.netmask,
                              &s.dns1, &s.dns2, &s.sn,     &s.uid,     &s.account, &s.password};
    const char* const textKeys[] = {"name", "type", "ipMode", "version", "gateway", "netmask",
                                    "dns1", "dns2", "sn",     "uid",     "account", "password"};
    int* const numbers[] = {&s.micVolume, &s.outVolume, &s.autoMute};
    const char* const numberKeys[] = {"micVolume", "outVolume", "autoMute"};

    for (const cJSON* child = object->child; child; child = child->next) {
        const QByteArray key(child->string);
        const QString name = QString::fromUtf8(key);
        auto wrong = [&](const char* what) {
            *error = QStringLiteral("\"%1\" %2").arg(name, QLatin1String(what));
            return false;
        };
        bool done = false;
        for (size_t i = 0; i < sizeof textKeys / sizeof *textKeys && !done; ++i) {
            if (key == textKeys[i]) {
                if (!cJSON_IsString(child))
                    return wrong("is not a text");
                *texts[i] = QString::fromUtf8(child->valuestring);
                done = true;
            }
        }
        for (size_t i = 0; i < sizeof numberKeys / sizeof *numberKeys && !done; ++i) {
            if (key == numberKeys[i]) {
                if (!cJSON_IsNumber(child))
                    return wrong("is not a number");
                *numbers[i] = child->valueint;
                done = true;
            }
        }
        if (done)
            continue;
        if (key == "mac") {
            if (!cJSON_IsString(child) ||
                !EmulatorFrames::macFromText(QString::fromUtf8(child->valuestring), &s.mac))
                return wrong("is not a MAC address");
        } else if (key == "ip") {
            if (!cJSON_IsString(child) ||
                !EmulatorFrames::ipFromText(QString::fromUtf8(child->valuestring), &s.address))
                return wrong("is not an IPv4 address");
            s.ip = EmulatorFrames::ipToText(s.address);
        } else if (key == "sip0" || key == "sip1") {
            if (!readSip(child, &s.sip[key == "sip0" ? 0 : 1]))
                return wrong("needs the texts serverHost, serverPort, displayName, account, password");
        } else if (key.startsWith("rtp") && key.size() == 4 && key[3] >= '0' && key[3] <= '9') {
            if (!readRtp(child, &s.rtp[size_t(key[3] - '0')]))
                return wrong("needs enable (number), rtpIP (text), rtpPort (number)");
        } else if (key == "misbehave") {
            if (!readMisbehaviour(child, &m, error))
                return false;
        } else {
            setExtra(&s, name, child);
        }
    }
    *device = EmulatedDevice(s, m);
    return true;
}

} // namespace

bool EmulatedDevice::fromConfig(const QByteArray& json, int firstNumber, QVector<EmulatedDevice>* devices,
                                QString* error)
{
    JsonPtr root(cJSON_ParseWithLength(json.constData(), size_t(json.size())));
    if (!root || !cJSON_IsArray(root.get())) {
        *error = QStringLiteral("the configuration is not a JSON array of device objects");
        return false;
    }
    QVector<EmulatedDevice> out;
    int number = firstNumber;
    for (const cJSON* entry = root->child; entry; entry = entry->next, ++number) {
        if (!cJSON_IsObject(entry)) {
            *error = QStringLiteral("device %1 is not a JSON object").arg(out.size() + 1);
            return false;
        }
        EmulatedDevice device = generated(number);
        if (!readDevice(entry, &device, error)) {
            *error = QStringLiteral("device %1: %2").arg(out.size() + 1).arg(*error);
            return false;
        }
        out.append(device);
    }
    *devices += out;
    return true;
}

CommandOutcome EmulatedDevice::handle(const QByteArray& text, bool broadcast)
{
    CommandOutcome outcome;
    JsonPtr command(cJSON_ParseWithLength(text.constData(), size_t(text.size())));
    if (!command || !cJSON_IsObject(command.get())) {
        outcome.ignored = QStringLiteral("malformed JSON");
        return outcome;
    }
    stringMember(command.get(), "method", &outcome.method);
    long long id = 0;
    if (!readId(command.get(), &id)) {
        outcome.ignored = QStringLiteral("no numeric id");
        return outcome;
    }
    const bool isSearch = outcome.method == QLatin1String(SearchMethod);
    if (broadcast && !isSearch) {
        outcome.ignored = QStringLiteral("broadcast \"%1\" is not a search").arg(outcome.method);
        return outcome;
    }
    if (m_misbehaviour.silent) {
        outcome.ignored = QStringLiteral("silent");
        return outcome;
    }

    // The reply leaves from the addresses the command reached, even when the
    // command changes them (SetMac, SetIp, ResetDefault).
    const MacAddress fromMac = m_state.mac;
    const Ipv4Address fromIp = m_state.address;

    JsonPtr payload(cJSON_CreateObject());
    bool success = false;
    if (!m_misbehaviour.fail)
        success = execute(outcome.method, command.get(), &m_state, m_initial, payload.get(), &m_playCount,
                          &m_rebootCount);
    else if (isSearch)
        addSearchFields(payload.get(), m_state);

    auto render = [&](long long replyId) {
        JsonPtr reply(cJSON_CreateObject());
        if (m_misbehaviour.idAsString)
            cJSON_AddStringToObject(reply.get(), "id", QByteArray::number(replyId).constData());
        else
            cJSON_AddNumberToObject(reply.get(), "id", double(replyId));
        if (isSearch)
            cJSON_AddStringToObject(reply.get(), "method",
                                    m_misbehaviour.capitalSearch ? "Search" : SearchMethod);
        cJSON_AddStringToObject(reply.get(), "result", success ? "success" : "fail");
        for (const cJSON* child = payload->child; child; child = child->next)
            cJSON_AddItemToObject(reply.get(), child->string, cJSON_Duplicate(child, true));
        if (m_misbehaviour.capitalKeys)
            reply.reset(withCapitalKeys(reply.get()));
        QByteArray out = print(reply.get());
        if (m_misbehaviour.brokenJson)
            out.chop(1);
        // Blanks between members keep the text valid JSON while filling the frame to its limit.
        if (m_misbehaviour.fullFrame && out.size() < EmulatorFrames::MaxTextLength)
            out.insert(1, QByteArray(EmulatorFrames::MaxTextLength - out.size(), ' '));
        return out;
    };

    MacAddress foreignMac = fromMac;
    foreignMac[0] = fromMac[0] == 0x06 ? 0x0a : 0x06;
    Ipv4Address foreignIp = fromIp;
    foreignIp[3] ^= 0x80;
    const QByteArray text0 = render(id);
    const QByteArray foreignText = m_misbehaviour.foreignReplies ? render(id + 1000) : QByteArray();
    for (int copy = 0; copy < (m_misbehaviour.twice ? 2 : 1); ++copy) {
        if (m_misbehaviour.foreignReplies)
            outcome.replies.append({foreignMac, foreignIp, foreignText, m_misbehaviour.delayMs});
        outcome.replies.append({fromMac, fromIp, text0, m_misbehaviour.delayMs});
    }
    return outcome;
}

} // namespace orvane
