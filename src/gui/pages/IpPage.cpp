#include "IpPage.h"

#include "AddressConflicts.h"
#include "DeviceRecord.h"
#include "DeviceTableModel.h"
#include "DeviceTasks.h"
#include "BatchRules.h"
#include "Language.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace orvane {

namespace {

struct RowInfo
{
    const char* label;
    const char* error;
    const char* objectName;
    int x;
    int y;
};

const RowInfo Rows[IpPage::RowCount] = {
    {"IP address", "IP error", "ipEdit", 10, 70},
    {"Gateway", "Gateway error", "gatewayEdit", 230, 70},
    {"Netmask", "Netmask error", "netmaskEdit", 450, 70},
    {"Dns1", "Dns1 error", "dns1Edit", 10, 100},
    {"Dns2", "Dns2 error", "dns2Edit", 230, 100},
};

// The DNS servers may be left empty, on Set and on Set All alike.
bool isOptional(int row)
{
    return row == IpPage::Dns1Row || row == IpPage::Dns2Row;
}

const int LabelWidth = 90;
const int EditWidth = 120;

const int DhcpIndex = 0;
const int StaticIndex = 1;

} // namespace

IpPage::IpPage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model)
    : SettingsPage(parent, client, model), m_headerLabel(new QLabel(this)), m_modeLabel(new QLabel(this)),
      m_modeComboBox(new QComboBox(this)), m_setButton(new QPushButton(this)), m_setAllButton(new QPushButton(this))
{
    setObjectName(QStringLiteral("ipPage"));
    m_headerLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_modeComboBox->setObjectName(QStringLiteral("modeComboBox"));
    m_setButton->setObjectName(QStringLiteral("setButton"));
    m_setAllButton->setObjectName(QStringLiteral("setAllButton"));
    m_modeLabel->setText(translated("Please select IP mode"));
    m_modeComboBox->addItem(translated("DHCP"));
    m_modeComboBox->addItem(translated("Static"));
    m_modeComboBox->setCurrentIndex(StaticIndex);
    for (int row = 0; row < RowCount; ++row) {
        m_labels[row] = new QLabel(translated(Rows[row].label), this);
        m_edits[row] = new QLineEdit(this);
        m_edits[row]->setObjectName(QLatin1String(Rows[row].objectName));
    }
    m_setButton->setText(translated("Set"));
    m_setAllButton->setText(translated("Set All"));
    connect(m_modeComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &IpPage::onComboBoxIndexChanged);
    connect(m_setButton, &QPushButton::clicked, this, &IpPage::onClickSetButton);
    connect(m_setAllButton, &QPushButton::clicked, this, &IpPage::onClickSetAllButton);
}

void IpPage::showDevice(DeviceRecord* device)
{
    if (!device) {
        m_headerLabel->clear();
        m_modeComboBox->setCurrentIndex(StaticIndex);
        for (QLineEdit* edit : m_edits)
            edit->clear();
        onComboBoxIndexChanged(m_modeComboBox->currentIndex());
        return;
    }
    m_headerLabel->setText(QStringLiteral("%1 %2-%3").arg(translated("Current Device"), device->name(), device->uid()));
    m_edits[IpRow]->setText(device->ip());
    m_edits[GatewayRow]->setText(device->gateway());
    m_edits[NetmaskRow]->setText(device->netmask());
    m_edits[Dns1Row]->setText(device->dns1());
    m_edits[Dns2Row]->setText(device->dns2());
    const bool dhcp = device->ipMode().compare(QLatin1String("DHCP"), Qt::CaseInsensitive) == 0;
    m_modeComboBox->setCurrentIndex(dhcp ? DhcpIndex : StaticIndex);
    // Also when the index did not change, so that the rows always match the mode shown.
    onComboBoxIndexChanged(m_modeComboBox->currentIndex());
}

void IpPage::onComboBoxIndexChanged(int)
{
    const bool enabled = !isDhcp();
    for (int row = 0; row < RowCount; ++row) {
        m_labels[row]->setEnabled(enabled);
        m_edits[row]->setEnabled(enabled);
    }
}

bool IpPage::isDhcp() const
{
    return m_modeComboBox->currentIndex() == DhcpIndex;
}

bool IpPage::checkRows()
{
    for (int row = 0; row < RowCount; ++row) {
        const QString text = m_edits[row]->text();
        if (!(isOptional(row) && text.isEmpty()) && !BatchRules::isValidAddress(text)) {
            showToast(translated(Rows[row].error));
            return false;
        }
    }
    const QString why =
        BatchRules::checkStaticAddress(m_edits[IpRow]->text(), m_edits[NetmaskRow]->text(), m_edits[GatewayRow]->text());
    if (!why.isEmpty())
        showToast(why);
    return why.isEmpty();
}

QList<DeviceRecord*> IpPage::withoutConflicts(const QList<DeviceRecord*>& devices, QStringList* ips)
{
    QList<BatchRules::Planned> plan;
    for (int i = 0; i < devices.size(); ++i)
        plan.append({devices.at(i)->mac(), ips->at(i)});
    QList<BatchRules::Holder> listed;
    if (m_model)
        for (const DeviceRecord* d : m_model->devices())
            listed.append({d->mac(), d->ip(), d->name()});
    // One probe round for the whole batch: a quarter of a second, not one wait per device.
    const AddressConflicts conflicts = AddressConflicts::find(*m_client, plan, listed);
    if (conflicts.isEmpty())
        return devices;
    const bool some = conflicts.devices.size() < devices.size();
    QMessageBox box(QMessageBox::Warning, translated("Address conflict"),
                    translated("These addresses are already in use:") + QStringLiteral("\n\n") +
                        conflicts.lines.join(QLatin1Char('\n')),
                    QMessageBox::Cancel, jobParent());
    QPushButton* skip = some ? box.addButton(translated("Skip these devices"), QMessageBox::AcceptRole) : nullptr;
    box.exec();
    if (!skip || box.clickedButton() != skip)
        return {};
    QList<DeviceRecord*> kept;
    QStringList keptIps;
    for (int i = 0; i < devices.size(); ++i) {
        if (!conflicts.devices.contains(devices.at(i)->mac())) {
            kept << devices.at(i);
            keptIps << ips->at(i);
        }
    }
    *ips = keptIps;
    return kept;
}

void IpPage::runStatic(const QList<DeviceRecord*>& devices, const QStringList& ips, bool setAll)
{
    QList<DeviceTasks::StaticAddress> addresses;
    for (const QString& ip : ips)
        addresses.append({ip, m_edits[GatewayRow]->text(), m_edits[NetmaskRow]->text(), m_edits[Dns1Row]->text(),
                          m_edits[Dns2Row]->text()});
    runTask(DeviceTasks::setStaticIp(addresses), devices, setAll);
}

void IpPage::onClickSetButton(bool)
{
    if (!currentDevice())
        return;
    if (isDhcp()) {
        runTask(DeviceTasks::setDhcp(), {currentDevice()}, false);
        return;
    }
    if (!checkRows())
        return;
    QStringList ips{m_edits[IpRow]->text()};
    const QList<DeviceRecord*> devices = withoutConflicts({currentDevice()}, &ips);
    if (!devices.isEmpty())
        runStatic(devices, ips, false);
}

void IpPage::onClickSetAllButton(bool)
{
    if (!isDhcp() && !checkRows())
        return;
    const QList<DeviceRecord*> devices = targetDevices();
    if (isDhcp()) {
        runTask(DeviceTasks::setDhcp(), devices, true);
        return;
    }
    // Every device's address is fixed and checked before the first frame goes out.
    QString why;
    QStringList ips =
        BatchRules::consecutiveAddresses(m_edits[IpRow]->text(), m_edits[NetmaskRow]->text(), devices.size(), &why);
    if (!why.isEmpty()) {
        showToast(why);
        return;
    }
    const QList<DeviceRecord*> kept = withoutConflicts(devices, &ips);
    if (!kept.isEmpty())
        runStatic(kept, ips, true);
}

void IpPage::resizeEvent(QResizeEvent* event)
{
    SettingsPage::resizeEvent(event);
    const int w = width();
    m_headerLabel->setGeometry(10, 10, w - 20, 20);
    m_modeLabel->setGeometry(10, 40, 200, 20);
    m_modeComboBox->setGeometry(220, 40, 100, 20);
    for (int row = 0; row < RowCount; ++row) {
        // 255.255.255.255 needs more than 100 pixels; the labels give up what the edits need.
        m_labels[row]->setGeometry(Rows[row].x, Rows[row].y, LabelWidth, 20);
        m_edits[row]->setGeometry(Rows[row].x + LabelWidth + 5, Rows[row].y, EditWidth, 20);
    }
    m_setButton->setGeometry(100, 150, 100, 30);
    m_setAllButton->setGeometry(400, 150, 100, 30);
}

} // namespace orvane
