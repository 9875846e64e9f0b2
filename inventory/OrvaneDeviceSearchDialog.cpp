#include "OrvaneDeviceSearchDialog.h"

#include "OrvaneDevice.h"
#include "OrvaneDeviceSearch.h"
#include "OrvaneSDK.h"
#include "VyConfigure.h"

OrvaneDeviceSearchDialog::OrvaneDeviceSearchDialog(QWidget* parent, OrvaneSDK* sdk)
    : VyProgressDialog(parent), m_sdk(sdk), m_timeout(OrvaneDeviceSearch::TimeoutMs),
      m_alarmTest(VyConfigure().alarmTest())
{
    setObjectName(QStringLiteral("searchDialog"));
    resize(300, 100);
}

OrvaneDeviceSearchDialog::~OrvaneDeviceSearchDialog()
{
    // run() writes m_found; the worker must be gone before it is.
    stop();
    releaseFound();
}

void OrvaneDeviceSearchDialog::releaseFound()
{
    for (OrvaneDevice* device : qAsConst(m_found))
        device->release();
    m_found.clear();
}

void OrvaneDeviceSearchDialog::run()
{
    releaseFound();
    if (m_sdk)
        m_found = OrvaneDeviceSearch::run(*m_sdk, m_timeout, m_alarmTest != 0);
    emit _close();
}

void OrvaneDeviceSearchDialog::abortWork()
{
    // Closing the dialog ends the collecting at once instead of freezing the
    // window until the search time is over; the table stays empty either way.
    if (m_sdk)
        m_sdk->cancelWait();
}
