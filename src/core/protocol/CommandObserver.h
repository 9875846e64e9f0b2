#pragma once

namespace orvane {

class ProtocolClient;

// Told of every command text sent and received; runs on the sending thread and
// on the capture receive thread, so it must not block. Not owned by the protocol client.
class CommandObserver
{
public:
    virtual ~CommandObserver() = default;
    virtual void onSendCommand(ProtocolClient* client, const char* text) = 0;
    virtual void onRecvCommand(ProtocolClient* client, const char* text) = 0;
};

} // namespace orvane
