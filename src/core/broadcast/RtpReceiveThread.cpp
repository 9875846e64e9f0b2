#include "RtpReceiveThread.h"

#include "RtpMulticastSession.h"

namespace orvane {

void RtpReceiveThread::run()
{
    m_session->runReceiveLoop(this);
}

} // namespace orvane
