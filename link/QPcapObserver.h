#pragma once

class QPcapFrame;

// Told of every captured frame of at most 1514 bytes, on the receive thread.
// The record is valid during the call only; retain it to keep it.
class QPcapObserver
{
public:
    virtual ~QPcapObserver() = default;
    virtual void onPacket(QPcapFrame* frame) { (void)frame; }
};
