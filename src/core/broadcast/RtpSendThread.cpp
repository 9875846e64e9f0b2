#include "RtpSendThread.h"

#include "RtpMulticastSession.h"

void RtpSendThread::run()
{
    m_session->runSendLoop(this);
}
