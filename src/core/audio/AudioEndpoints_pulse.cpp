// Endpoints from the sound server: capture endpoints are its sources that
// are no sink's monitor, render endpoints its sinks (captured through their
// monitors). id = the server's name, name = its description.
#include "AudioEndpoints.h"

#include "LogFile.h"
#include "PulseAudioClient.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/operation.h>

namespace orvane {

namespace {

struct Listing
{
    QList<AudioEndpoint> devices;
    int kind = 0;
    bool activeOnly = false;
    bool done = false;
};

template <typename Info> bool unplugged(const Info* i)
{
    return i->active_port && i->active_port->available == PA_PORT_AVAILABLE_NO;
}

void onSource(pa_context*, const pa_source_info* i, int eol, void* user)
{
    auto* l = static_cast<Listing*>(user);
    if (eol != 0) {
        l->done = true;
        return;
    }
    // A monitor is how a sink is captured; the sink itself is listed as a render endpoint.
    if (!i || i->monitor_of_sink != PA_INVALID_INDEX || (l->activeOnly && unplugged(i)))
        return;
    l->devices.append(
        {QString::fromUtf8(i->name), QString::fromUtf8(i->description ? i->description : i->name), l->kind});
}

void onSink(pa_context*, const pa_sink_info* i, int eol, void* user)
{
    auto* l = static_cast<Listing*>(user);
    if (eol != 0) {
        l->done = true;
        return;
    }
    if (!i || (l->activeOnly && unplugged(i)))
        return;
    l->devices.append(
        {QString::fromUtf8(i->name), QString::fromUtf8(i->description ? i->description : i->name), l->kind});
}

} // namespace

bool soundServerReachable(QString* reason)
{
    PulseAudioClient client;
    if (client.connect())
        return true;
    if (reason)
        *reason = QString::fromUtf8(client.error());
    return false;
}

QList<AudioEndpoint> getDevices(int dataFlow, int stateMask)
{
    PulseAudioClient client;
    if (!client.connect()) {
        ORVANE_LOG("cannot reach the sound server: %s\n", client.error());
        return {};
    }
    Listing listing;
    listing.kind = dataFlow;
    listing.activeOnly = (stateMask & ActiveEndpointsOnly) != 0;
    pa_operation* op = dataFlow == CaptureEndpoints
                           ? pa_context_get_source_info_list(client.context(), onSource, &listing)
                           : pa_context_get_sink_info_list(client.context(), onSink, &listing);
    if (!op) {
        ORVANE_LOG("endpoint list request failure\n");
        return {};
    }
    if (!client.runUntil([&] { return listing.done; }, PulseAudioClient::RequestTimeoutMs))
        ORVANE_LOG("endpoint list request timed out\n");
    pa_operation_cancel(op);
    pa_operation_unref(op);
    // The callbacks can no longer run: the operation is cancelled before listing goes.
    if (listing.devices.isEmpty())
        ORVANE_LOG("collections count == 0\n");
    return listing.devices;
}

QList<AudioEndpoint> listAudioSources()
{
    QList<AudioEndpoint> all = getDevices(CaptureEndpoints, ActiveEndpointsOnly);
    for (AudioEndpoint& d : all)
        d.kind = AudioEndpoint::Capture;
    QList<AudioEndpoint> render = getDevices(RenderEndpoints, ActiveEndpointsOnly);
    for (AudioEndpoint& d : render)
        d.kind = AudioEndpoint::Render;
    return all + render;
}

} // namespace orvane
