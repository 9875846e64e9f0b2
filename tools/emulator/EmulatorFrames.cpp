#include "EmulatorFrames.h"

#include <QRegularExpression>
#include <QStringList>
#include <cstring>

namespace orvane {

namespace EmulatorFrames {

namespace {

uint16_t read16(const QByteArray& b, int at)
{
    return uint16_t((uint8_t(b[at]) << 8) | uint8_t(b[at + 1]));
}

uint32_t read32(const QByteArray& b, int at)
{
    return (uint32_t(read16(b, at)) << 16) | read16(b, at + 2);
}

void write16(uint8_t* b, int at, uint16_t v)
{
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v & 0xff);
}

void write32(uint8_t* b, int at, uint32_t v)
{
    write16(b, at, uint16_t(v >> 16));
    write16(b, at + 2, uint16_t(v & 0xffff));
}

template <size_t N> void readBytes(const QByteArray& b, int at, std::array<uint8_t, N>* out)
{
    memcpy(out->data(), b.constData() + at, N);
}

template <size_t N> void writeBytes(uint8_t* b, int at, const std::array<uint8_t, N>& in)
{
    memcpy(b + at, in.data(), N);
}

} // namespace

ParseResult parse(const QByteArray& bytes, Frame* frame, QString* problem)
{
    auto malformed = [problem](const QString& why) {
        if (problem)
            *problem = why;
        return ParseResult::Malformed;
    };
    if (bytes.size() < CommandHeaderOffset + 2 || read16(bytes, 12) != 0x0806)
        return ParseResult::NotCommandFrame;
    if (uint8_t(bytes[42]) != 0x88 || uint8_t(bytes[43]) != 0x88)
        return ParseResult::NotCommandFrame;

    if (bytes.size() < TextOffset)
        return malformed(
            QStringLiteral("frame of %1 bytes is shorter than the command header").arg(bytes.size()));
    if (bytes.size() > MaxFrameLength)
        return malformed(
            QStringLiteral("frame of %1 bytes is longer than %2").arg(bytes.size()).arg(MaxFrameLength));
    if (read16(bytes, 14) != 0x0001 || read16(bytes, 16) != 0x0800 || uint8_t(bytes[18]) != 6 ||
        uint8_t(bytes[19]) != 4)
        return malformed(QStringLiteral("ARP body is not Ethernet/IPv4"));
    if (read16(bytes, 20) != 0x0001)
        return malformed(QStringLiteral("ARP operation %1 is not a request").arg(read16(bytes, 20)));
    if (uint8_t(bytes[44]) != 0x01)
        return malformed(QStringLiteral("command header byte 2 is %1, not 1").arg(uint8_t(bytes[44])));

    // The same length stands three times; a sender that counts the text
    // differently in one of them has a fault worth hearing about.
    const uint32_t length = uint32_t(bytes.size() - CommandHeaderOffset);
    if (read16(bytes, 45) != (length & 0xffff) || read32(bytes, 47) != 0 || read32(bytes, 51) != length ||
        bytes[55] != 0 || bytes[56] != 0 || bytes[57] != 0 || read16(bytes, 58) != (length & 0xffff))
        return malformed(QStringLiteral("command header lengths %1/%2/%3 do not match the frame's %4")
                             .arg(read16(bytes, 45))
                             .arg(read32(bytes, 51))
                             .arg(read16(bytes, 58))
                             .arg(length));

    Frame f;
    readBytes(bytes, 0, &f.ethernetDestination);
    readBytes(bytes, 6, &f.ethernetSource);
    readBytes(bytes, 22, &f.senderMac);
    readBytes(bytes, 28, &f.senderIp);
    readBytes(bytes, 32, &f.targetMac);
    readBytes(bytes, 38, &f.targetIp);
    f.text = bytes.mid(TextOffset);
    if (f.text.contains('\0'))
        return malformed(QStringLiteral("the text holds a zero byte"));
    if (frame)
        *frame = f;
    return ParseResult::CommandFrame;
}

QByteArray build(const MacAddress& sourceMac, const Ipv4Address& sourceIp, const MacAddress& destinationMac,
                 const Ipv4Address& destinationIp, const QByteArray& text)
{
    uint8_t b[TextOffset] = {};
    writeBytes(b, 0, destinationMac);
    writeBytes(b, 6, sourceMac);
    write16(b, 12, 0x0806);
    write16(b, 14, 0x0001);
    write16(b, 16, 0x0800);
    b[18] = 6;
    b[19] = 4;
    write16(b, 20, 0x0001);
    writeBytes(b, 22, sourceMac);
    writeBytes(b, 28, sourceIp);
    writeBytes(b, 32, destinationMac);
    writeBytes(b, 38, destinationIp);
    const uint32_t length = uint32_t(text.size() + CommandHeaderLength);
    b[42] = 0x88;
    b[43] = 0x88;
    b[44] = 0x01;
    write16(b, 45, uint16_t(length & 0xffff));
    write32(b, 47, 0);
    write32(b, 51, length);
    write16(b, 58, uint16_t(length & 0xffff));
    return QByteArray(reinterpret_cast<const char*>(b), TextOffset) + text;
}

QString macToText(const MacAddress& mac)
{
    return QString::asprintf("%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
}

bool macFromText(const QString& text, MacAddress* mac)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([0-9a-fA-F]{2})[:-]([0-9a-fA-F]{2})[:-]([0-9a-fA-F]{2})[:-]"
                       "([0-9a-fA-F]{2})[:-]([0-9a-fA-F]{2})[:-]([0-9a-fA-F]{2})$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return false;
    MacAddress out;
    for (int i = 0; i < 6; ++i)
        out[size_t(i)] = uint8_t(m.captured(i + 1).toUInt(nullptr, 16));
    if (mac)
        *mac = out;
    return true;
}

QString ipToText(const Ipv4Address& ip)
{
    return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

bool ipFromText(const QString& text, Ipv4Address* ip)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return false;
    Ipv4Address out;
    for (int i = 0; i < 4; ++i) {
        const uint value = m.captured(i + 1).toUInt();
        if (value > 255)
            return false;
        out[size_t(i)] = uint8_t(value);
    }
    if (ip)
        *ip = out;
    return true;
}

} // namespace EmulatorFrames

} // namespace orvane
