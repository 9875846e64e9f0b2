#pragma once

#include "WorkerThread.h"

namespace orvane {

class RtpMulticastSession;

// Asks the session's observer for packets on the session's schedule.
class RtpSendThread : public WorkerThread
{
public:
    explicit RtpSendThread(RtpMulticastSession* session) : m_session(session) {}
    void run() override;

private:
    RtpMulticastSession* m_session;
};

} // namespace orvane
