#pragma once

#include "WorkerThread.h"

namespace orvane {

class RtpMulticastSession;

// Drains whatever arrives on the session and hands it to the observer.
class RtpReceiveThread : public WorkerThread
{
public:
    explicit RtpReceiveThread(RtpMulticastSession* session) : m_session(session) {}
    void run() override;

private:
    RtpMulticastSession* m_session;
};

} // namespace orvane
