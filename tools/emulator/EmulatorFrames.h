#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

namespace orvane {

using MacAddress = std::array<uint8_t, 6>;
using Ipv4Address = std::array<uint8_t, 4>;

// The emulator's own reading and writing of command frames, kept apart from
// the program's so that a fault in one is not mirrored by the other.
namespace EmulatorFrames {

constexpr int TextOffset = 60;
constexpr int CommandHeaderOffset = 42;
constexpr int CommandHeaderLength = 18;
constexpr int MaxFrameLength = 1514;
constexpr int MaxTextLength = MaxFrameLength - TextOffset;

const MacAddress BroadcastMac = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};

struct Frame
{
    MacAddress ethernetDestination{};
    MacAddress ethernetSource{};
    MacAddress senderMac{};
    Ipv4Address senderIp{};
    MacAddress targetMac{};
    Ipv4Address targetIp{};
    QByteArray text;
};

enum class ParseResult
{
    CommandFrame,
    NotCommandFrame, // another kind of traffic: dropped without a word
    Malformed,       // carries the command mark but breaks the layout
};

// A frame that carries the command mark is checked field by field, so that
// a program which gets the layout wrong finds no device to answer it. The
// address fields are not compared here: the caller decides whom they reach.
ParseResult parse(const QByteArray& bytes, Frame* frame, QString* problem);

// An ARP request from source to destination carrying text behind the command header.
QByteArray build(const MacAddress& sourceMac, const Ipv4Address& sourceIp, const MacAddress& destinationMac,
                 const Ipv4Address& destinationIp, const QByteArray& text);

QString macToText(const MacAddress& mac);
// Accepts six hexadecimal pairs separated by ':' or '-', in either case.
bool macFromText(const QString& text, MacAddress* mac);
QString ipToText(const Ipv4Address& ip);
// Accepts dotted decimal only: four numbers 0..255, nothing around them.
bool ipFromText(const QString& text, Ipv4Address* ip);

} // namespace EmulatorFrames

} // namespace orvane
