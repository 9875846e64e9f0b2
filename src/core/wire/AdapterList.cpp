#include "AdapterList.h"

#include <cstdio>
#include <cstring>

namespace orvane {

const Adapter* AdapterList::at(int index) const
{
    return index >= 0 && index < size() ? m_adapters[size_t(index)].get() : nullptr;
}

void AdapterList::append(std::unique_ptr<Adapter> adapter)
{
    if (adapter)
        m_adapters.push_back(std::move(adapter));
}

int AdapterList::chooseIndex(const QString& rememberedName) const
{
    if (!rememberedName.isEmpty()) {
        const QByteArray name = rememberedName.toUtf8();
        for (int i = 0; i < size(); ++i) {
            if (name == m_adapters[size_t(i)]->pcapName)
                return i;
        }
    }
    for (int i = 0; i < size(); ++i) {
        const uint8_t* ip = m_adapters[size_t(i)]->ip;
        if (ip[0] == 192 && ip[1] == 168 && ip[2] < 31)
            return i;
    }
    for (int i = 0; i < size(); ++i) {
        const uint8_t* ip = m_adapters[size_t(i)]->ip;
        if (ip[0] == 192 && ip[1] == 168)
            return i;
    }
    return isEmpty() ? -1 : 0;
}

const Adapter* AdapterList::choose(const QString& rememberedName) const
{
    return at(chooseIndex(rememberedName));
}

const Adapter* AdapterList::find(const QString& name) const
{
    const QByteArray wanted = name.toUtf8();
    for (const std::unique_ptr<Adapter>& adapter : m_adapters) {
        if (!wanted.isEmpty() && wanted == adapter->pcapName)
            return adapter.get();
    }
    return nullptr;
}

const Adapter* AdapterList::pick(const QString& requested, const QString& rememberedName, QString* error) const
{
    const Adapter* adapter = requested.isEmpty() ? choose(rememberedName) : find(requested);
    if (!adapter && error) {
        *error = requested.isEmpty() ? QStringLiteral("no Ethernet adapter found")
                                     : QStringLiteral("no Ethernet adapter named %1").arg(requested);
    }
    return adapter;
}

bool AdapterList::parseDotted(const char* text, uint8_t out[4])
{
    memset(out, 0, 4);
    if (!text)
        return false;
    int a, b, c, d;
    char tail;
    if (sscanf(text, "%d.%d.%d.%d%c", &a, &b, &c, &d, &tail) != 4)
        return false;
    for (int v : {a, b, c, d}) {
        if (v < 0 || v > 255)
            return false;
    }
    out[0] = uint8_t(a);
    out[1] = uint8_t(b);
    out[2] = uint8_t(c);
    out[3] = uint8_t(d);
    return true;
}

QString AdapterList::dotted(const uint8_t ip[4])
{
    return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

} // namespace orvane
