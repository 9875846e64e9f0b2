#include "RtpReceiveThread.h"

#include "RtpMulticastSession.h"

void RtpReceiveThread::run()
{
    m_session->runReceiveLoop(this);
}
