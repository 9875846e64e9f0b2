#pragma once

#include "VyThread.h"

class VyRtpSession;

// Asks the session's observer for packets on the session's schedule.
class VyRtpSendThread : public VyThread
{
public:
    explicit VyRtpSendThread(VyRtpSession* session) : m_session(session) {}
    void run() override;

private:
    VyRtpSession* m_session;
};
