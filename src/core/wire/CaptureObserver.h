#pragma once

namespace orvane {

class RawFrame;

// Told of every captured frame of at most 1514 bytes, on the receive thread.
// The record is valid during the call only; retain it to keep it.
class CaptureObserver
{
public:
    virtual ~CaptureObserver() = default;
    virtual void onPacket(RawFrame* frame) { (void)frame; }
};

} // namespace orvane
