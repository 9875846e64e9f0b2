#pragma once

#include <QList>
#include <QString>

namespace orvane {

// One audio endpoint as the source selector lists it.
struct AudioEndpoint
{
    enum Kind
    {
        Capture = 0, // microphone, line input: read directly
        Render = 1,  // speakers, headphones: what the PC plays on it is captured
    };

    QString id;
    QString name;
    int kind = Capture;
};

enum AudioEndpointKind
{
    RenderEndpoints = 0,
    CaptureEndpoints = 1,
};

constexpr int ActiveEndpointsOnly = 1;

// The endpoints of one data flow, each with kind = the flow. With the active
// state bit, endpoints whose port is known to be unplugged are left out.
QList<AudioEndpoint> getDevices(int dataFlow, int stateMask);
// Capture endpoints (kind 0) first, then render endpoints (kind 1).
QList<AudioEndpoint> listAudioSources();
// Whether the sound server answers; without it no list holds anything, and
// an empty list must not read as "no endpoints". reason says why not.
bool soundServerReachable(QString* reason);

} // namespace orvane
