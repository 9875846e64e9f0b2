#include "VyRtpSendThread.h"

#include "VyRtpSession.h"

void VyRtpSendThread::run()
{
    m_session->runSendLoop(this);
}
