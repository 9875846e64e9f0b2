#include "VersionPage.h"

#include "FirmwareJob.h"

#include "DeviceRecord.h"
#include "DeviceTableModel.h"
#include "DeviceTasks.h"
#include "JobDialog.h"
#include "Language.h"
#include "ResultListDialog.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orvane {

VersionPage::VersionPage(QWidget* parent, ProtocolClient* client,
                                                       DeviceTableModel* model)
    : SettingsPage(parent, client, model), m_deviceLabel(new QLabel(this)),
      m_promptLabel(new QLabel(translated("Please select firmware file"), this)), m_fileEdit(new QLineEdit(this)),
      m_selectButton(new QPushButton(translated("Select"), this)), m_setButton(new QPushButton(translated("Set"), this)),
      m_setAllButton(new QPushButton(translated("Set All"), this))
{
    setObjectName(QStringLiteral("versionPage"));
    m_deviceLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_fileEdit->setObjectName(QStringLiteral("fileEdit"));
    m_selectButton->setObjectName(QStringLiteral("selectButton"));
    m_setButton->setObjectName(QStringLiteral("setButton"));
    m_setAllButton->setObjectName(QStringLiteral("setAllButton"));
    connect(m_selectButton, &QPushButton::clicked, this, &VersionPage::onClickFirmwareButton);
    connect(m_setButton, &QPushButton::clicked, this, &VersionPage::onClickSetButton);
    connect(m_setAllButton, &QPushButton::clicked, this, &VersionPage::onClickSetAllButton);
}

void VersionPage::showDevice(DeviceRecord* device)
{
    if (!device) {
        m_deviceLabel->clear();
        return;
    }
    m_deviceLabel->setText(
        QStringLiteral("%1 %2-%3").arg(translated("Current Device"), device->name(), device->uid()));
}

void VersionPage::onClickFirmwareButton(bool)
{
    QFileDialog dialog(this);
    dialog.setWindowTitle(translated("Select File"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({translated("Firmware images (*.bin *.img *.fw *.upg *.tar *.tgz *.tar.gz *.zip)"),
                           translated("All files (*)")});
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QStringList files = dialog.selectedFiles();
    if (!files.isEmpty())
        m_fileEdit->setText(files.first());
}

void VersionPage::onClickSetButton(bool)
{
    if (!currentDevice())
        return;
    runUpgrade({currentDevice()}, false);
}

void VersionPage::onClickSetAllButton(bool)
{
    runUpgrade(targetDevices(), true);
}

void VersionPage::runUpgrade(const QList<DeviceRecord*>& devices, bool setAll)
{
    const QString file = m_fileEdit->text();
    if (file.isEmpty()) {
        showToast(translated("Please input upgrade server address"));
        return;
    }
    // Before the question: a file that cannot go out would otherwise cost the
    // operator a confirmation and a list of failures, one per device.
    QString why;
    if (!FirmwareJob::checkFile(file, &why)) {
        showToast(why);
        return;
    }
    const DeviceJob::Task task = DeviceTasks::upgradeFirmware(file);
    if (!m_client || devices.isEmpty() ||
        !confirmDeviceJob(jobParent(), translated(task.title), devices,
                          setAll && m_model && m_model->checkedDevices().isEmpty()))
        return;
    DeviceTableModel* model = m_model;
    // The list even for one device that took it: an upgrade is not a setting
    // the page shows, so the list is the only word the operator gets.
    runDeviceJob(
        jobParent(), *m_client, task, devices,
        [model] {
            if (model)
                model->refresh();
        },
        true);
}

void VersionPage::resizeEvent(QResizeEvent* event)
{
    SettingsPage::resizeEvent(event);
    m_deviceLabel->setGeometry(10, 10, width() - 20, 20);
    const int x = placePrompt(m_promptLabel, 230);
    m_fileEdit->setGeometry(x, 40, 300, 20);
    m_selectButton->setGeometry(x + 310, 40, 80, 20);
    m_setButton->setGeometry(100, 150, 100, 30);
    m_setAllButton->setGeometry(400, 150, 100, 30);
}

} // namespace orvane
