#include "SearchDialog.h"

#include "DeviceRecord.h"
#include "DeviceSearch.h"
#include "AppConfig.h"
#include "Language.h"

#include <QPushButton>

namespace orvane {

SearchDialog::SearchDialog(QWidget* parent, ProtocolClient* client)
    : ProgressDialog(parent), m_client(client), m_timeout(AppConfig().searchTime()),
      m_alarmTest(AppConfig().alarmTest())
{
    setObjectName(QStringLiteral("searchDialog"));
    setWindowTitle(translated("Search"));
    setCancellable(true);
    connect(this, &SearchDialog::answeredQueued, this, &SearchDialog::showAnswered, Qt::QueuedConnection);
    showAnswered(0);
}

SearchDialog::~SearchDialog()
{
    // run() writes m_found; the worker must be gone before it is.
    stop();
}

void SearchDialog::showAnswered(int count)
{
    setMessage(translated("Searching: %1 found").arg(count));
}

void SearchDialog::run()
{
    m_found.clear();
    m_summary = {};
    if (m_client && !isStopped()) {
        const ProtocolClient::CancelScope scope(*m_client, m_cancelsAtStart);
        m_found = DeviceSearch::run(*m_client, m_timeout, m_alarmTest != 0, false,
                                    [this](const DeviceRecord&, int listed) {
                                        emit answeredQueued(listed);
                                        return !isStopped() && !m_finishEarly.load();
                                    });
        m_summary = m_client->lastSearch();
    }
    emit workFinished();
}

void SearchDialog::prepare()
{
    m_finishEarly = false;
    if (m_client)
        m_cancelsAtStart = m_client->cancelCount();
}

void SearchDialog::cancelJob()
{
    m_finishEarly = true;
    cancelButton()->setEnabled(false);
    abortWork();
}

void SearchDialog::abortWork()
{
    // Ends the collecting at once instead of freezing the window until the
    // search time is over; what was found until then is kept.
    if (m_client)
        m_client->cancelWait();
}

} // namespace orvane
