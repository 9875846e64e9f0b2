#include "VyWaitThread.h"

#include "VyWaitDialog.h"

VyWaitThread::VyWaitThread(VyWaitDialog* dialog) : m_dialog(dialog) {}

void VyWaitThread::run()
{
    m_dialog->run();
}
