#include "PlanPreviewDialog.h"

#include "Language.h"
#include "ProvisioningPlan.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orvane {

namespace {
QString shown(const QString& column, const QString& value)
{
    return ProvisioningPlan::isSecret(column) && !value.isEmpty() ? QStringLiteral("***") : value;
}
} // namespace

PlanPreviewDialog::PlanPreviewDialog(const QList<PlanApply::Result>& preview, QWidget* parent)
    : Dialog(parent), m_tree(new QTreeWidget(this))
{
    setObjectName(QStringLiteral("planPreviewDialog"));
    m_tree->setObjectName(QStringLiteral("planTree"));
    setWindowTitle(translated("Apply plan"));
    m_tree->setColumnCount(3);
    m_tree->setHeaderLabels({translated("Device"), translated("Current"), translated("Planned")});
    int changed = 0;
    for (const PlanApply::Result& r : preview) {
        auto* device = new QTreeWidgetItem(m_tree);
        device->setText(0, r.name.isEmpty() ? r.mac : QStringLiteral("%1 (%2)").arg(r.name, r.mac));
        device->setData(0, Qt::UserRole, r.mac);
        const bool canChange = r.outcome == PlanApply::Outcome::Changed;
        if (canChange) {
            device->setFlags(device->flags() | Qt::ItemIsUserCheckable);
            device->setCheckState(0, Qt::Checked);
            ++changed;
        } else {
            device->setFlags(device->flags() & ~Qt::ItemIsUserCheckable);
            device->setText(1, PlanApply::outcomeWord(r.outcome) +
                                   (r.detail.isEmpty() ? QString() : QStringLiteral(": ") + r.detail));
            device->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
        }
        for (const ProvisioningPlan::Change& c : r.changes) {
            auto* field = new QTreeWidgetItem(device);
            field->setText(0, c.column);
            field->setText(1, shown(c.column, c.from));
            field->setText(2, shown(c.column, c.to));
        }
    }
    m_tree->expandAll();
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* summary = new QLabel(translated("%1 of %2 devices would change. Untick a device to leave it as it is.")
                                   .arg(changed)
                                   .arg(preview.size()),
                               this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(translated("Apply"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(changed > 0);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary);
    layout->addWidget(m_tree);
    layout->addWidget(buttons);
    resize(720, 480);
}

QStringList PlanPreviewDialog::tickedDevices() const
{
    QStringList macs;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_tree->topLevelItem(i);
        if ((item->flags() & Qt::ItemIsUserCheckable) && item->checkState(0) == Qt::Checked)
            macs << item->data(0, Qt::UserRole).toString();
    }
    return macs;
}

} // namespace orvane
