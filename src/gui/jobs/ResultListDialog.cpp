#include "ResultListDialog.h"

#include "DeviceRecord.h"
#include "Language.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orvane {

namespace {
const int NamesShown = 3;
} // namespace

ResultListDialog::ResultListDialog(QWidget* parent, const QString& title, const QList<DeviceResult>& results)
    : Dialog(parent), m_list(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("resultListDialog"));
    setWindowTitle(title);
    int succeeded = 0;
    for (const DeviceResult& r : results)
        succeeded += r.succeeded() ? 1 : 0;
    auto* summary = new QLabel(QStringLiteral("%1: %2").arg(title, translated("%1 of %2 succeeded")
                                                                       .arg(succeeded)
                                                                       .arg(results.size())),
                               this);
    summary->setObjectName(QStringLiteral("summaryText"));
    m_list->setObjectName(QStringLiteral("resultList"));
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({translated("Name"), translated("MAC"), translated("Result")});
    for (const DeviceResult& r : results)
        new QTreeWidgetItem(m_list, {r.name, r.mac, outcomeLine(r)});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* buttons = new QDialogButtonBox(this);
    auto* retry = buttons->addButton(translated("Retry failed"), QDialogButtonBox::ActionRole);
    retry->setObjectName(QStringLiteral("retryButton"));
    retry->setVisible(succeeded < results.size());
    auto* ok = buttons->addButton(translated("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("okButton"));
    connect(retry, &QPushButton::clicked, this, [this] { done(Retry); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(560, 320);
}

QString ResultListDialog::translatedDetail(const QString& detail)
{
    if (Language::table().contains(detail))
        return translated(detail);
    // Details that carry a number or a reason after their words ("upload
    // refused (HTTP 403)") have only the words in the language files.
    const int cut = detail.indexOf(QLatin1String(" ("));
    return cut > 0 ? translated(detail.left(cut)) + detail.mid(cut) : detail;
}

QString ResultListDialog::outcomeLine(const DeviceResult& result)
{
    const QString outcome = translated(DeviceResult::outcomeText(result.outcome));
    return result.detail.isEmpty() ? outcome
                                   : QStringLiteral("%1 (%2)").arg(outcome, translatedDetail(result.detail));
}

bool confirmDeviceJob(QWidget* parent, const QString& title, const QList<DeviceRecord*>& devices, bool wholeTable)
{
    QStringList names;
    for (int i = 0; i < devices.size() && i < NamesShown; ++i) {
        const QString name = devices.at(i)->name();
        names << (name.isEmpty() ? devices.at(i)->mac() : name);
    }
    QString list = names.join(QStringLiteral(", "));
    if (devices.size() > NamesShown)
        list += QLatin1Char(' ') + translated("and %1 more").arg(devices.size() - NamesShown);
    QStringList lines;
    if (wholeTable)
        lines << translated("No row is ticked: this applies to all %1 listed devices.").arg(devices.size());
    lines << QStringLiteral("%1 %2: %3")
                 .arg(devices.size())
                 .arg(translated(devices.size() == 1 ? "device" : "devices"), list)
          << translated("Continue?");

    Dialog dialog(parent);
    dialog.setObjectName(QStringLiteral("confirmDialog"));
    dialog.setWindowTitle(title);
    auto* text = new QLabel(lines.join(QLatin1Char('\n')), &dialog);
    text->setObjectName(QStringLiteral("confirmText"));
    text->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(&dialog);
    auto* ok = buttons->addButton(translated("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("okButton"));
    auto* cancel = buttons->addButton(translated("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog.setMinimumWidth(380);
    dialog.centerOn(parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace orvane
