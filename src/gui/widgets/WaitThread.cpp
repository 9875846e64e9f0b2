#include "WaitThread.h"

#include "WaitDialog.h"

namespace orvane {

WaitThread::WaitThread(WaitDialog* dialog) : m_dialog(dialog) {}

void WaitThread::run()
{
    m_dialog->run();
}

} // namespace orvane
