#pragma once

#include "Adapter.h"

#include <QString>
#include <memory>
#include <vector>

namespace orvane {

// The machine's adapters, in the order the system reports them; owns its records.
class AdapterList
{
public:
    AdapterList() = default;
    AdapterList(const AdapterList&) = delete;
    AdapterList& operator=(const AdapterList&) = delete;

    // The adapters of this machine (platform file); empty when they cannot be listed.
    static std::unique_ptr<AdapterList> listAdapters();

    int size() const { return int(m_adapters.size()); }
    bool isEmpty() const { return m_adapters.empty(); }
    const Adapter* at(int index) const;
    void append(std::unique_ptr<Adapter> adapter);

    // The remembered adapter if present; else the first 192.168.x.y with x
    // below 31; else the first 192.168.*; else the first; none when empty.
    const Adapter* choose(const QString& rememberedName) const;
    int chooseIndex(const QString& rememberedName) const;
    // The adapter with this system name, or none.
    const Adapter* find(const QString& name) const;
    // The one adapter both front ends talk to the devices on: the one asked
    // for by name when there is a name (no fallback: a typo must not reach
    // another segment), else the choose rule. None with the reason in plain
    // words (error may be null) when there is nothing to use.
    const Adapter* pick(const QString& requested, const QString& rememberedName, QString* error) const;

    // Reads "a.b.c.d" into four octets; false (and zeros) unless it gives four numbers.
    static bool parseDotted(const char* text, uint8_t out[4]);
    static QString dotted(const uint8_t ip[4]);

private:
    std::vector<std::unique_ptr<Adapter>> m_adapters;
};

} // namespace orvane
