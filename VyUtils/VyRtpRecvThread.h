#pragma once

#include "VyThread.h"

class VyRtpSession;

// Drains whatever arrives on the session and hands it to the observer.
class VyRtpRecvThread : public VyThread
{
public:
    explicit VyRtpRecvThread(VyRtpSession* session) : m_session(session) {}
    void run() override;

private:
    VyRtpSession* m_session;
};
