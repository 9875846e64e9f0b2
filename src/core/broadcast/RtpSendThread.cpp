#include "RtpSendThread.h"

#include "RtpMulticastSession.h"

namespace orvane {

void RtpSendThread::run()
{
    m_session->runSendLoop(this);
}

} // namespace orvane
