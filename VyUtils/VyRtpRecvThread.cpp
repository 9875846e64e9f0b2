#include "VyRtpRecvThread.h"

#include "VyRtpSession.h"

void VyRtpRecvThread::run()
{
    m_session->runReceiveLoop(this);
}
