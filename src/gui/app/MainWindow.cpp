#include "PlanActions.h"
#include "MainWindow.h"

#include "BroadcastDialog.h"

#include "AboutDialog.h"
#include "AdapterList.h"
#include "VolumePage.h"
#include "DeviceRecord.h"
#include "DeviceTableModel.h"
#include "SearchDialog.h"
#include "IpPage.h"
#include "MacPage.h"
#include "DeviceTasks.h"
#include "JobDialog.h"
#include "ResultListDialog.h"
#include "NamePage.h"
#include "RtpChannelsPage.h"
#include "ProtocolClient.h"
#include "SipPage.h"
#include "MaintenancePage.h"
#include "VersionPage.h"
#include "CheckBoxHeaderView.h"
#include "CommandLogText.h"
#include "AppConfig.h"
#include "CapturePermission.h"
#include "CapturePermissionDialog.h"
#include "Language.h"
#include "LogFile.h"
#include "AdapterDialog.h"
#include "CopyingTableView.h"
#include "Toast.h"
#include "ToastView.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QDebug>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace {

using PageFactory = SettingsPage* (*)(QWidget*, ProtocolClient*, DeviceTableModel*);

template <typename Page>
SettingsPage* makePage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model)
{
    return new Page(parent, client, model);
}

// Indexed by MainWindow::PageKind; a page that does not exist yet stays empty
// and its columns show no page.
const PageFactory PageFactories[MainWindow::PageCount] = {
    makePage<NamePage>, // NamePage
    makePage<MacPage>,  // MacPage
    makePage<IpPage>,   // IpPage
    makePage<SipPage>,     // SipPage
    makePage<RtpChannelsPage>,     // RtpPage
    makePage<VolumePage>,   // AudioPage
    makePage<VersionPage>, // VersionPage
    makePage<MaintenancePage>,    // TestPage
};

const int ButtonY = 10;
const int ButtonWidth = 130;
const int ButtonHeight = 30;
const int ButtonXs[] = {10, 150, 290, 430, 570};
const int TableY = 50;
const int CaptureBarHeight = 44;

void logCommand(const char* direction, const char* text)
{
    const QByteArray line = CommandLogText::fromCommand(text);
    ORVANE_LOG("%s %s\n", direction, line.constData());
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), m_client(new ProtocolClient), m_networkButton(new QPushButton(translated("Network"), this)),
      m_searchButton(new QPushButton(translated("Search"), this)),
      m_rtpButton(new QPushButton(translated("RTP Multicast"), this)),
      m_settingButton(new QPushButton(translated("Settings"), this)), m_plansButton(new QPushButton(translated("Plans"), this)),
      m_table(new CopyingTableView(this)),
      m_model(new DeviceTableModel(m_table)), m_toast(new Toast(this))
{
    setObjectName(QStringLiteral("mainWindow"));
    m_networkButton->setObjectName(QStringLiteral("networkButton"));
    m_searchButton->setObjectName(QStringLiteral("searchButton"));
    m_rtpButton->setObjectName(QStringLiteral("rtpButton"));
    m_settingButton->setObjectName(QStringLiteral("settingButton"));
    m_plansButton->setObjectName(QStringLiteral("plansButton"));
    // A site as a file: the listed devices out, a plan in.
    auto* plans = new QMenu(m_plansButton);
    plans->addAction(translated("Export..."), this, [this] { PlanActions::exportDevices(this, m_model->devices()); });
    plans->addAction(translated("Apply plan..."), this, [this] {
        PlanActions::applyPlan(this, *m_client, m_model->devices(), [this] { m_model->refresh(); });
    });
    m_plansButton->setMenu(plans);
    m_table->setObjectName(QStringLiteral("deviceTable"));

    resize(1000, 700);
    showMaximized();

    m_table->setSortingEnabled(true);
    connect(m_model->header(), &QHeaderView::sectionClicked, this, &MainWindow::onClickTableHeaderView);
    connect(m_table, &QTableView::clicked, this, &MainWindow::onClickTableViewIndex);
    connect(m_model, &DeviceTableModel::modifyData, this, &MainWindow::onModelModifyData);
    connect(m_networkButton, &QPushButton::clicked, this, &MainWindow::onClickNetworkButton);
    connect(m_searchButton, &QPushButton::clicked, this, &MainWindow::onClickSearchButton);
    connect(m_rtpButton, &QPushButton::clicked, this, &MainWindow::onClickRtpButton);
    connect(m_settingButton, &QPushButton::clicked, this, &MainWindow::onClickSettingButton);

    setupCaptureBar();
    m_client->setObserver(this);
    openRememberedAdapter();
    QTimer::singleShot(AutoSearchDelayMs, this, &MainWindow::autoSearch);
}

void MainWindow::setupCaptureBar()
{
    // Stays until capture works: without it every search would end in an
    // empty table that looks like a network without devices.
    m_captureBar = new QFrame(this);
    m_captureBar->setObjectName(QStringLiteral("captureBar"));
    m_captureBar->setAutoFillBackground(true);
    QPalette palette = m_captureBar->palette();
    palette.setColor(QPalette::Window, QColor(0xff, 0xf3, 0xcd));
    palette.setColor(QPalette::WindowText, QColor(0x66, 0x4d, 0x03));
    m_captureBar->setPalette(palette);
    m_captureLabel = new QLabel(m_captureBar);
    m_captureLabel->setWordWrap(true);
    auto* grant = new QPushButton(translated("Grant permission..."), m_captureBar);
    grant->setObjectName(QStringLiteral("grantButton"));
    auto* layout = new QHBoxLayout(m_captureBar);
    layout->setContentsMargins(10, 2, 10, 2);
    layout->addWidget(m_captureLabel, 1);
    layout->addWidget(grant);
    connect(grant, &QPushButton::clicked, this, [this] { CapturePermissionDialog::askAndGrant(this); });
    m_captureBar->hide();
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("searchStatus"));
    // Made after the window was shown, so it is not shown along with it.
    m_statusLabel->show();
}

void MainWindow::showSearchStatus(int rows)
{
    // An empty table alone reads like a fault of the program.
    if (rows == 0)
        m_statusLabel->setText(translated("No devices answered on %1").arg(m_adapterName));
    else if (rows == 1)
        m_statusLabel->setText(translated("1 device on %1").arg(m_adapterName));
    else
        m_statusLabel->setText(translated("%1 devices on %2").arg(rows).arg(m_adapterName));
}

void MainWindow::updateCaptureState(const Adapter* adapter)
{
    const QString name = adapter ? QString::fromUtf8(adapter->pcapName) : QString();
    m_adapterName = name;
    m_statusLabel->clear();
    setWindowTitle(adapter ? translated("Devices on %1").arg(name) : translated("No network adapter"));
    QString reason;
    const bool missing = CapturePermission::isMissing(adapter, &reason);
    if (missing) {
        m_captureLabel->setText(
            translated("Searches find no device: this program may not capture network frames%1 (%2). Grant the "
                 "permission, then restart the program.")
                .arg(adapter ? translated(" on %1").arg(name) : QString(), reason));
    }
    m_captureBar->setVisible(missing);
    layoutChildren();
}

bool MainWindow::captureMissing() const
{
    return !m_captureBar->isHidden();
}

MainWindow::~MainWindow()
{
    // The receive thread calls back into this window; it must be gone first.
    m_client->close();
    m_client->setObserver(nullptr);
}

void MainWindow::openRememberedAdapter()
{
    const std::unique_ptr<AdapterList> adapters = AdapterList::listAdapters();
    const Adapter* adapter = adapters ? adapters->pick(QString(), AppConfig().network(), nullptr) : nullptr;
    if (adapter)
        ORVANE_LOG("open adapter %s\n", adapter->pcapName);
    else
        ORVANE_LOG("no adapter to open\n");
    m_client->open(adapter);
    updateCaptureState(adapter);
}

void MainWindow::onSendCommand(ProtocolClient*, const char* text)
{
    logCommand("send", text);
}

void MainWindow::onRecvCommand(ProtocolClient*, const char* text)
{
    logCommand("recv", text);
}

SettingsPage* MainWindow::cachedPage(PageKind kind) const
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
    case DeviceTableModel::NameColumn:
        return NamePage;
    case DeviceTableModel::MacColumn:
        return MacPage;
    case DeviceTableModel::IpColumn:
    case DeviceTableModel::NetmaskColumn:
    case DeviceTableModel::GatewayColumn:
        return IpPage;
    case DeviceTableModel::SipColumn:
        return SipPage;
    case DeviceTableModel::RtpColumn:
        return RtpPage;
    case DeviceTableModel::VersionColumn:
        return VersionPage;
    case DeviceTableModel::VolumeColumn:
        return AudioPage;
    case DeviceTableModel::SystemColumn:
        return TestPage;
    default:
        return NoPage;
    }
}

SettingsPage* MainWindow::page(PageKind kind)
{
    if (kind < 0 || kind >= PageCount)
        return nullptr;
    if (!m_pages[kind] && PageFactories[kind]) {
        m_pages[kind] = PageFactories[kind](this, m_client.get(), m_model);
        m_pages[kind]->hide();
    }
    return m_pages[kind];
}

void MainWindow::setCurrentPage(SettingsPage* page)
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
    if (column == DeviceTableModel::PlayColumn) {
        if (DeviceRecord* device = m_model->deviceAt(index.row())) {
            runDeviceJob(this, *m_client, DeviceTasks::playTestSound(), {device}, {});
        }
        return;
    }
    if (column != DeviceTableModel::CheckColumn)
        setCurrentPage(page(pageForColumn(column)));
    if (m_currentPage)
        m_currentPage->setCurrentDevice(m_model->deviceAt(index.row()));
}

void MainWindow::onModelModifyData(const QModelIndex& index, const QVariant& value, int)
{
    const int column = index.column();
    if ((column != DeviceTableModel::NameColumn && column != DeviceTableModel::MacColumn) ||
        value.type() != QVariant::String)
        return;
    DeviceRecord* device = m_model->deviceAt(index.row());
    if (!device)
        return;
    const QString text = value.toString();
    const QString current = column == DeviceTableModel::NameColumn ? device->name() : device->mac();
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

void MainWindow::applyCellEdit(DeviceRecord* device, int column, const QString& text)
{
    DeviceTableModel* model = m_model;
    auto refresh = [model] { model->refresh(); };
    if (column == DeviceTableModel::NameColumn) {
        runDeviceJob(this, *m_client, DeviceTasks::setName({text}), {device}, refresh);
        return;
    }
    // A new MAC moves the device, so the operator confirms it as on the MAC page.
    const DeviceJob::Task task = DeviceTasks::setMac({text});
    if (confirmDeviceJob(this, translated(task.title), {device}, false))
        runDeviceJob(this, *m_client, task, {device}, refresh);
}

void MainWindow::onClickNetworkButton(bool)
{
    AdapterDialog dialog(this);
    dialog.setList(AdapterList::listAdapters());
    dialog.centerOn(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_client->close();
    m_client->open(dialog.selectedAdapter());
    updateCaptureState(dialog.selectedAdapter());
}

void MainWindow::onClickSearchButton(bool)
{
    setCurrentPage(nullptr);
    m_model->clear();
    m_model->refresh();

    SearchDialog dialog(this, m_client.get());
    dialog.centerOn(this);
    dialog.start();
    if (dialog.exec() != QDialog::Accepted) {
        m_statusLabel->setText(translated("Search cancelled"));
        emit searchFinished(0);
        return;
    }
    QList<DeviceRecord*> devices;
    for (DeviceRecord* device : dialog.foundDevices()) {
        if (!device->hasMac())
            continue;
        device->retain();
        devices.append(device);
    }
    m_model->setDevices(devices);
    showSearchStatus(devices.size());
    emit searchFinished(devices.size());
}

void MainWindow::onClickRtpButton(bool)
{
    // One dialog at most: a second click brings the open one back.
    if (BroadcastDialog* dialog = BroadcastDialog::instance()) {
        dialog->show();
        dialog->showNormal();
        dialog->raise();
        dialog->activateWindow();
        return;
    }
    auto* dialog = new BroadcastDialog();
    dialog->centerOn(this);
    dialog->show();
}

void MainWindow::onClickSettingButton(bool)
{
    AboutDialog dialog(this);
    dialog.centerOn(this);
    dialog.exec();
}

void MainWindow::autoSearch()
{
    // The bar already says why a search would find nothing.
    if (captureMissing())
        return;
    onClickSearchButton(false);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    layoutChildren();
}

void MainWindow::layoutChildren()
{
    const int w = width();
    const int h = height();
    QPushButton* buttons[] = {m_networkButton, m_searchButton, m_rtpButton, m_settingButton, m_plansButton};
    for (int i = 0; i < 5; ++i)
        buttons[i]->setGeometry(ButtonXs[i], ButtonY, ButtonWidth, ButtonHeight);
    const int statusX = ButtonXs[4] + ButtonWidth + 20;
    if (m_statusLabel)
        m_statusLabel->setGeometry(statusX, ButtonY, qMax(0, w - statusX - 10), ButtonHeight);
    int tableY = TableY;
    if (m_captureBar && captureMissing()) {
        m_captureBar->setGeometry(0, TableY, w, CaptureBarHeight);
        tableY += CaptureBarHeight;
    }
    m_table->setGeometry(0, tableY, w, h - tableY - PageAreaHeight);
    if (m_currentPage)
        m_currentPage->setGeometry(pageArea());
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    // A broadcast does not outlive the window; the dialog stops it and deletes itself.
    if (BroadcastDialog* dialog = BroadcastDialog::instance())
        dialog->reject();
}
