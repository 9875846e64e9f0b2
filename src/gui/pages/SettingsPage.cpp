#include "SettingsPage.h"

#include "DeviceRecord.h"
#include "DeviceTableModel.h"
#include "JobDialog.h"
#include "Language.h"
#include "ResultListDialog.h"
#include "Toast.h"
#include "ToastView.h"

#include <QLabel>
#include <QPushButton>

namespace orvane {

SettingsPage::SettingsPage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model)
    : RoundedWidget(parent), m_client(client), m_model(model)
{
}

void SettingsPage::setCurrentDevice(DeviceRecord* device)
{
    m_currentDevice = DeviceRef(device);
    showDevice(device);
}

QList<DeviceRecord*> SettingsPage::targetDevices() const
{
    if (!m_model)
        return {};
    const QList<DeviceRecord*> checked = m_model->checkedDevices();
    return checked.isEmpty() ? m_model->devices() : checked;
}

void SettingsPage::showToast(const QString& text)
{
    if (!m_toast)
        m_toast = new Toast(this);
    m_toast->show(this, text, Toast::HorizontalCenter | Toast::Top, ToastMs);
}

void SettingsPage::showDevice(DeviceRecord*) {}

void SettingsPage::addSetButtons()
{
    m_fieldSetButton = new QPushButton(translated("Set"), this);
    m_fieldSetAllButton = new QPushButton(translated("Set All"), this);
    m_fieldSetButton->setObjectName(QStringLiteral("setButton"));
    m_fieldSetAllButton->setObjectName(QStringLiteral("setAllButton"));
    connect(m_fieldSetButton, &QPushButton::clicked, this, &SettingsPage::onClickSetButton);
    connect(m_fieldSetAllButton, &QPushButton::clicked, this, &SettingsPage::onClickSetAllButton);
}

void SettingsPage::placeSetButtons(int y)
{
    if (m_fieldSetButton)
        m_fieldSetButton->setGeometry(100, y, 100, 30);
    if (m_fieldSetAllButton)
        m_fieldSetAllButton->setGeometry(400, y, 100, 30);
}

bool SettingsPage::fieldsTask(DeviceJob::Task*)
{
    return false;
}

void SettingsPage::onClickSetButton(bool)
{
    DeviceJob::Task task;
    if (currentDevice() && fieldsTask(&task))
        runTask(task, {currentDevice()}, false);
}

void SettingsPage::onClickSetAllButton(bool)
{
    DeviceJob::Task task;
    if (fieldsTask(&task))
        runTask(task, targetDevices(), true);
}

QWidget* SettingsPage::jobParent() const
{
    return parentWidget() ? parentWidget() : const_cast<SettingsPage*>(this);
}

bool SettingsPage::runTask(const DeviceJob::Task& task, const QList<DeviceRecord*>& devices, bool setAll, bool ask)
{
    if (!m_client || devices.isEmpty())
        return false;
    const bool wholeTable = setAll && m_model && m_model->checkedDevices().isEmpty();
    if ((setAll || ask) && !confirmDeviceJob(jobParent(), translated(task.title), devices, wholeTable))
        return false;
    DeviceTableModel* model = m_model;
    const bool allTook = runDeviceJob(jobParent(), *m_client, task, devices, [model] {
        if (model)
            model->refresh();
    });
    if (allTook && devices.size() == 1)
        showToast(QStringLiteral("%1: %2").arg(translated(task.title), translated("ok")));
    return allTook;
}

int SettingsPage::placePrompt(QLabel* prompt, int minWidth)
{
    const int width = qMax(minWidth, prompt->sizeHint().width());
    prompt->setGeometry(10, 40, width, 20);
    return 20 + width;
}

} // namespace orvane
