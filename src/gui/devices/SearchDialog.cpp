#include "SearchDialog.h"

#include "DeviceRecord.h"
#include "DeviceSearch.h"
#include "ProtocolClient.h"
#include "AppConfig.h"
#include "Language.h"

SearchDialog::SearchDialog(QWidget* parent, ProtocolClient* client)
    : ProgressDialog(parent), m_client(client), m_timeout(DeviceSearch::TimeoutMs),
      m_alarmTest(AppConfig().alarmTest())
{
    setObjectName(QStringLiteral("searchDialog"));
    setWindowTitle(translated("Search"));
    resize(300, 100);
}

SearchDialog::~SearchDialog()
{
    // run() writes m_found; the worker must be gone before it is.
    stop();
    releaseFound();
}

void SearchDialog::releaseFound()
{
    for (DeviceRecord* device : qAsConst(m_found))
        device->release();
    m_found.clear();
}

void SearchDialog::run()
{
    releaseFound();
    if (m_client)
        m_found = DeviceSearch::run(*m_client, m_timeout, m_alarmTest != 0);
    emit workFinished();
}

void SearchDialog::abortWork()
{
    // Closing the dialog ends the collecting at once instead of freezing the
    // window until the search time is over; the table stays empty either way.
    if (m_client)
        m_client->cancelWait();
}
