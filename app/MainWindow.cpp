#include "MainWindow.h"

#include "VyRtpMulticastDialog.h"

#include "OrvaneAboutDialog.h"
#include "OrvaneAdapterList.h"
#include "OrvaneAudioSettingWidget.h"
#include "OrvaneDevice.h"
#include "OrvaneDeviceModel.h"
#include "OrvaneDeviceSearchDialog.h"
#include "OrvaneIpSettingWidget.h"
#include "OrvaneMacSettingDialog.h"
#include "OrvaneMacSettingWidget.h"
#include "OrvaneNameSettingDialog.h"
#include "OrvaneNameSettingWidget.h"
#include "OrvanePlayVolumeDialog.h"
#include "OrvaneRtpSettingWidget.h"
#include "OrvaneSDK.h"
#include "OrvaneSipSettingWidget.h"
#include "OrvaneTestSettingWidget.h"
#include "OrvaneVersionSettingWidget.h"
#include "QCheckBoxHeaderView.h"
#include "VyCommandLogText.h"
#include "VyConfigure.h"
#include "VyLanguage.h"
#include "VyLog.h"
#include "VyNetworkDialog.h"
#include "VyTableView.h"
#include "VyToast.h"
#include "VyToastView.h"

#include <QCloseEvent>
#include <QDebug>
#include <QPushButton>
#include <QTimer>

namespace {

using PageFactory = OrvaneSettingWidget* (*)(QWidget*, OrvaneSDK*, OrvaneDeviceModel*);

template <typename Page>
OrvaneSettingWidget* makePage(QWidget* parent, OrvaneSDK* sdk, OrvaneDeviceModel* model)
{
    return new Page(parent, sdk, model);
}

// Indexed by MainWindow::PageKind; a page that does not exist yet stays empty
// and its columns show no page.
const PageFactory PageFactories[MainWindow::PageCount] = {
    makePage<OrvaneNameSettingWidget>, // NamePage
    makePage<OrvaneMacSettingWidget>,  // MacPage
    makePage<OrvaneIpSettingWidget>,   // IpPage
    makePage<OrvaneSipSettingWidget>,     // SipPage
    makePage<OrvaneRtpSettingWidget>,     // RtpPage
    makePage<OrvaneAudioSettingWidget>,   // AudioPage
    makePage<OrvaneVersionSettingWidget>, // VersionPage
    makePage<OrvaneTestSettingWidget>,    // TestPage
};

const int ButtonY = 10;
const int ButtonWidth = 130;
const int ButtonHeight = 30;
const int ButtonXs[] = {10, 150, 290, 430};
const int TableY = 50;

void logCommand(const char* direction, const char* text)
{
    const QByteArray line = VyCommandLogText::fromCommand(text);
    VYLOG("%s %s\n", direction, line.constData());
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), m_sdk(new OrvaneSDK), m_networkButton(new QPushButton(vyTr("Network"), this)),
      m_searchButton(new QPushButton(vyTr("Search"), this)),
      m_rtpButton(new QPushButton(vyTr("RTP Multicast"), this)),
      m_settingButton(new QPushButton(vyTr("Settings"), this)), m_table(new VyTableView(this)),
      m_model(new OrvaneDeviceModel(m_table)), m_toast(new VyToast(this))
{
    setObjectName(QStringLiteral("mainWindow"));
    m_networkButton->setObjectName(QStringLiteral("networkButton"));
    m_searchButton->setObjectName(QStringLiteral("searchButton"));
    m_rtpButton->setObjectName(QStringLiteral("rtpButton"));
    m_settingButton->setObjectName(QStringLiteral("settingButton"));
    m_table->setObjectName(QStringLiteral("deviceTable"));

    resize(1000, 700);
    showMaximized();

    m_table->setSortingEnabled(true);
    connect(m_model->header(), &QHeaderView::sectionClicked, this, &MainWindow::onClickTableHeaderView);
    connect(m_table, &QTableView::clicked, this, &MainWindow::onClickTableViewIndex);
    connect(m_model, &OrvaneDeviceModel::modifyData, this, &MainWindow::onModelModifyData);
    connect(m_networkButton, &QPushButton::clicked, this, &MainWindow::onClickNetworkButton);
    connect(m_searchButton, &QPushButton::clicked, this, &MainWindow::onClickSearchButton);
    connect(m_rtpButton, &QPushButton::clicked, this, &MainWindow::onClickRtpButton);
    connect(m_settingButton, &QPushButton::clicked, this, &MainWindow::onClickSettingButton);

    m_sdk->setObserver(this);
    openRememberedAdapter();
    QTimer::singleShot(AutoSearchDelayMs, this, &MainWindow::autoSearch);
}

MainWindow::~MainWindow()
{
    // The receive thread calls back into this window; it must be gone first.
    m_sdk->close();
    m_sdk->setObserver(nullptr);
}

void MainWindow::openRememberedAdapter()
{
    const std::unique_ptr<OrvaneAdapterList> adapters = OrvaneAdapterList::listAdapters();
    const OrvaneAdapter* adapter = adapters ? adapters->choose(VyConfigure().network()) : nullptr;
    if (adapter)
        VYLOG("open adapter %s\n", adapter->pcapName);
    else
        VYLOG("no adapter to open\n");
    m_sdk->open(adapter);
}

void MainWindow::onSendCommand(OrvaneSDK*, const char* text)
{
    logCommand("send", text);
}

void MainWindow::onRecvCommand(OrvaneSDK*, const char* text)
{
    logCommand("recv", text);
}

OrvaneSettingWidget* MainWindow::cachedPage(PageKind kind) const
{
    return kind >= 0 && kind < PageCount ? m_pages[kind] : nullptr;
}

QRect MainWindow::pageArea() const
{
    return QRect(0, height() - PageAreaHeight, width(), PageAreaHeight);
}

MainWindow::PageKind MainWindow::pageForColumn(int column)
{
    switch (column) {
    case OrvaneDeviceModel::NameColumn:
        return NamePage;
    case OrvaneDeviceModel::MacColumn:
        return MacPage;
    case OrvaneDeviceModel::IpColumn:
    case OrvaneDeviceModel::NetmaskColumn:
    case OrvaneDeviceModel::GatewayColumn:
        return IpPage;
    case OrvaneDeviceModel::SipColumn:
        return SipPage;
    case OrvaneDeviceModel::RtpColumn:
        return RtpPage;
    case OrvaneDeviceModel::VersionColumn:
        return VersionPage;
    case OrvaneDeviceModel::VolumeColumn:
        return AudioPage;
    case OrvaneDeviceModel::SystemColumn:
        return TestPage;
    default:
        return NoPage;
    }
}

OrvaneSettingWidget* MainWindow::page(PageKind kind)
{
    if (kind < 0 || kind >= PageCount)
        return nullptr;
    if (!m_pages[kind] && PageFactories[kind]) {
        m_pages[kind] = PageFactories[kind](this, m_sdk.get(), m_model);
        m_pages[kind]->hide();
    }
    return m_pages[kind];
}

void MainWindow::setCurrentPage(OrvaneSettingWidget* page)
{
    if (page == m_currentPage)
        return;
    // Cached pages stay children of the window, hidden, so that they keep their fields.
    if (m_currentPage)
        m_currentPage->hide();
    m_currentPage = page;
    if (m_currentPage) {
        m_currentPage->setGeometry(pageArea());
        m_currentPage->show();
    }
}

void MainWindow::onClickTableHeaderView(int section)
{
    qDebug("section = %d", section);
}

void MainWindow::onClickTableViewIndex(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const int column = index.column();
    if (column == OrvaneDeviceModel::PlayColumn) {
        if (OrvaneDevice* device = m_model->deviceAt(index.row())) {
            OrvanePlayVolumeDialog job(this, m_sdk.get());
            job.setDevice(device);
            job.centerOn(this);
            job.start();
            job.exec();
        }
        return;
    }
    if (column != OrvaneDeviceModel::CheckColumn)
        setCurrentPage(page(pageForColumn(column)));
    if (m_currentPage)
        m_currentPage->setCurrentDevice(m_model->deviceAt(index.row()));
}

void MainWindow::onModelModifyData(const QModelIndex& index, const QVariant& value, int)
{
    const int column = index.column();
    if ((column != OrvaneDeviceModel::NameColumn && column != OrvaneDeviceModel::MacColumn) ||
        value.type() != QVariant::String)
        return;
    OrvaneDevice* device = m_model->deviceAt(index.row());
    if (!device)
        return;
    const QString text = value.toString();
    const QString current = column == OrvaneDeviceModel::NameColumn ? device->name() : device->mac();
    if (current == text)
        return;
    // The edit arrives while the view is still committing its editor; the job
    // runs once the editor is closed, so that its modal loop cannot commit it twice.
    device->retain();
    QTimer::singleShot(0, this, [this, device, column, text] {
        applyCellEdit(device, column, text);
        device->release();
    });
}

void MainWindow::applyCellEdit(OrvaneDevice* device, int column, const QString& text)
{
    std::unique_ptr<OrvaneSettingDialog> job;
    if (column == OrvaneDeviceModel::NameColumn) {
        auto* names = new OrvaneNameSettingDialog(this, m_sdk.get());
        names->setLists({device}, {text});
        job.reset(names);
    } else {
        auto* macs = new OrvaneMacSettingDialog(this, m_sdk.get());
        macs->setLists({device}, {text});
        job.reset(macs);
    }
    job->centerOn(this);
    job->start();
    if (job->exec() == QDialog::Accepted)
        m_model->refresh();
}

void MainWindow::onClickNetworkButton(bool)
{
    VyNetworkDialog dialog(this);
    dialog.setList(OrvaneAdapterList::listAdapters());
    dialog.centerOn(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_sdk->close();
    m_sdk->open(dialog.selectedAdapter());
}

void MainWindow::onClickSearchButton(bool)
{
    setCurrentPage(nullptr);
    m_model->clear();
    m_model->refresh();

    OrvaneDeviceSearchDialog dialog(this, m_sdk.get());
    dialog.centerOn(this);
    dialog.start();
    if (dialog.exec() != QDialog::Accepted) {
        emit searchFinished(0);
        return;
    }
    QList<OrvaneDevice*> devices;
    for (OrvaneDevice* device : dialog.foundDevices()) {
        if (!device->hasMac())
            continue;
        device->retain();
        devices.append(device);
    }
    m_model->setDevices(devices);
    emit searchFinished(devices.size());
}

void MainWindow::onClickRtpButton(bool)
{
    // One dialog at most: a second click brings the open one back.
    if (VyRtpMulticastDialog* dialog = VyRtpMulticastDialog::instance()) {
        dialog->show();
        dialog->showNormal();
        dialog->raise();
        dialog->activateWindow();
        return;
    }
    auto* dialog = new VyRtpMulticastDialog();
    dialog->centerOn(this);
    dialog->show();
}

void MainWindow::onClickSettingButton(bool)
{
    OrvaneAboutDialog dialog(this);
    dialog.centerOn(this);
    dialog.exec();
}

void MainWindow::autoSearch()
{
    onClickSearchButton(false);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    const int w = width();
    const int h = height();
    QPushButton* buttons[] = {m_networkButton, m_searchButton, m_rtpButton, m_settingButton};
    for (int i = 0; i < 4; ++i)
        buttons[i]->setGeometry(ButtonXs[i], ButtonY, ButtonWidth, ButtonHeight);
    m_table->setGeometry(0, TableY, w, h - TableY - PageAreaHeight);
    if (m_currentPage)
        m_currentPage->setGeometry(pageArea());
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    // A broadcast does not outlive the window; the dialog stops it and deletes itself.
    if (VyRtpMulticastDialog* dialog = VyRtpMulticastDialog::instance())
        dialog->reject();
}
