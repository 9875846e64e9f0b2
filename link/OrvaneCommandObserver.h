#pragma once

class OrvaneSDK;

// Told of every command text sent and received; runs on the sending thread and
// on the capture receive thread, so it must not block. Not owned by the SDK.
class OrvaneCommandObserver
{
public:
    virtual ~OrvaneCommandObserver() = default;
    virtual void onSendCommand(OrvaneSDK* sdk, const char* text) = 0;
    virtual void onRecvCommand(OrvaneSDK* sdk, const char* text) = 0;
};
