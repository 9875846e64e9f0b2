#include "PlanActions.h"
#include "MainWindow.h"

#include "BroadcastDialog.h"

#include "AboutDialog.h"
#include "AdapterList.h"
#include "VolumePage.h"
#include "DeviceRecord.h"
#include "DeviceRef.h"
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
#include <QHeaderView>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QLabel>
#include <QDebug>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace orvane {

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

// Room left under a page's lowest control before the area scrolls.
const int PageBottomMargin = 10;

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

    m_table->setSortingEnabled(true);
    connect(m_model->header(), &QHeaderView::sectionClicked, this, &MainWindow::onClickTableHeaderView);
    connect(m_table, &QTableView::clicked, this, &MainWindow::onClickTableViewIndex);
    connect(m_model, &DeviceTableModel::modifyData, this, &MainWindow::onModelModifyData);
    connect(m_networkButton, &QPushButton::clicked, this, &MainWindow::onClickNetworkButton);
    connect(m_searchButton, &QPushButton::clicked, this, &MainWindow::onClickSearchButton);
    connect(m_rtpButton, &QPushButton::clicked, this, &MainWindow::onClickRtpButton);
    connect(m_settingButton, &QPushButton::clicked, this, &MainWindow::onClickSettingButton);

    setupCaptureBar();
    setupLayout();
    restoreLayout();
    resize(1000, 700);
    showMaximized();
    m_client->setObserver(this);
    openRememberedAdapter();
    QTimer::singleShot(AutoSearchDelayMs, this, &MainWindow::autoSearch);
}

void MainWindow::setupLayout()
{
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {m_networkButton, m_searchButton, m_rtpButton, m_settingButton, m_plansButton})
        buttons->addWidget(button);
    buttons->addStretch();

    // The page's controls sit at fixed places; the area scrolls when the
    // operator gives it less height than the page needs.
    m_pageHost = new QWidget;
    m_pageHost->setObjectName(QStringLiteral("pageHost"));
    auto* hostLayout = new QVBoxLayout(m_pageHost);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    m_pageArea = new QScrollArea;
    m_pageArea->setObjectName(QStringLiteral("pageArea"));
    m_pageArea->setFrameShape(QFrame::NoFrame);
    m_pageArea->setWidgetResizable(true);
    m_pageArea->setWidget(m_pageHost);

    m_splitter = new QSplitter(Qt::Vertical);
    m_splitter->setObjectName(QStringLiteral("mainSplitter"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_table);
    m_splitter->addWidget(m_pageArea);
    // A taller window gives its extra height to the table.
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_table->setMinimumHeight(m_table->horizontalHeader()->sizeHint().height() * 3);
    m_pageArea->setMinimumHeight(40);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(buttons);
    layout->addWidget(m_captureBar);
    layout->addWidget(m_splitter, 1);
    setCentralWidget(central);
    statusBar()->addWidget(m_statusLabel, 1);
}

void MainWindow::restoreLayout()
{
    AppConfig configure;
    QHeaderView* header = m_model->header();
    header->setSectionsMovable(true);
    const QByteArray columns = configure.tableColumns();
    // A layout from another version of the table could hide or lose columns.
    if (!columns.isEmpty() && (!header->restoreState(columns) || header->count() != DeviceTableModel::ColumnCount)) {
        for (int column = 0; column < DeviceTableModel::ColumnCount; ++column) {
            header->moveSection(header->visualIndex(column), column);
            header->showSection(column);
            header->resizeSection(column, DeviceTableModel::columnWidth(column));
        }
    }
    // Until the operator moves the splitter, the page area takes what the page needs.
    m_autoSplit = !m_splitter->restoreState(configure.mainSplitter());
    if (m_autoSplit)
        m_splitter->setSizes({height(), PageAreaHeight});
    connect(m_splitter, &QSplitter::splitterMoved, this, [this] { m_autoSplit = false; });
}

void MainWindow::saveLayout()
{
    AppConfig configure;
    configure.setMainSplitter(m_splitter->saveState());
    configure.setTableColumns(m_model->header()->saveState());
}

void MainWindow::setupCaptureBar()
{
    // Stays until capture works: without it every search would end in an
    // empty table that looks like a network without devices.
    m_captureBar = new QFrame;
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
}

QString MainWindow::searchStatus(int rows, const QString& adapter, const ProtocolClient::SearchSummary& summary,
                                 bool endedEarly)
{
    // An empty table alone reads like a fault of the program.
    QStringList parts;
    if (rows == 0)
        parts << translated("No devices answered on %1").arg(adapter);
    else if (rows == 1)
        parts << translated("1 device on %1").arg(adapter);
    else
        parts << translated("%1 devices on %2").arg(rows).arg(adapter);
    if (endedEarly)
        parts << translated("search ended early");
    // What the search could not list: a flood or a hostile host on the segment.
    if (summary.overflow > 0)
        parts << translated("answers not listed beyond %1 devices: %2")
                     .arg(ProtocolClient::MaxSearchDevices)
                     .arg(summary.overflow);
    if (summary.refused > 0)
        parts << translated("answers refused for naming a key twice: %1").arg(summary.refused);
    if (summary.foreignClaims > 0)
        parts << translated("answers naming a MAC other than their sender's: %1 (see the MAC column)")
                     .arg(summary.foreignClaims);
    return parts.join(QLatin1String("; "));
}

QString MainWindow::statusText() const
{
    return m_statusLabel->text();
}

void MainWindow::showStatus(const QString& text, bool warning)
{
    m_statusLabel->setText(text);
    m_statusLabel->setStyleSheet(warning ? QStringLiteral("QLabel { color: #9c2a00; font-weight: bold; }")
                                         : QString());
}

void MainWindow::updateCaptureState(const Adapter* adapter)
{
    const QString name = adapter ? QString::fromUtf8(adapter->pcapName) : QString();
    m_adapterName = name;
    showStatus(QString(), false);
    setWindowTitle(adapter ? translated("Devices on %1").arg(name) : translated("No network adapter"));
    QString reason;
    const bool missing = CapturePermission::isMissing(adapter, &reason);
    if (missing) {
        // Whole sentences, so that a language table can order their parts as it needs.
        m_captureLabel->setText(
            adapter ? translated("Searches find no device: this program may not capture network frames on %1 (%2). "
                                 "Grant the permission, then restart the program.")
                          .arg(name, reason)
                    : translated("Searches find no device: this program may not capture network frames (%1). Grant "
                                 "the permission, then restart the program.")
                          .arg(reason));
    }
    m_captureBar->setVisible(missing);
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
        m_pages[kind] = PageFactories[kind](m_pageHost, m_client.get(), m_model);
        m_pages[kind]->hide();
        m_pageHost->layout()->addWidget(m_pages[kind]);
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
    if (m_currentPage)
        m_currentPage->show();
    fitPageArea();
}

void MainWindow::fitPageArea()
{
    // The pages place their controls themselves and report no size; what they
    // need is where their lowest control ends, once laid out at this width.
    int needed = 0;
    if (m_currentPage) {
        m_pageHost->layout()->activate();
        needed = qMax(m_currentPage->minimumSizeHint().height(),
                      m_currentPage->childrenRect().bottom() + 1 + PageBottomMargin);
    }
    m_pageHost->setMinimumHeight(needed);
    if (m_autoSplit && m_currentPage) {
        const QList<int> sizes = m_splitter->sizes();
        const int total = sizes.value(0) + sizes.value(1);
        const int page = qMin(needed, total / 2);
        m_splitter->setSizes({total - page, page});
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
    QTimer::singleShot(0, this, [this, held = DeviceRef(device), column, text] {
        applyCellEdit(held.get(), column, text);
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
        showStatus(translated("Search cancelled"), false);
        emit searchFinished(0);
        return;
    }
    QList<DeviceRef> devices;
    for (const DeviceRef& device : dialog.foundDevices()) {
        if (device->hasMac())
            devices.append(device);
    }
    m_model->setDevices(devices);
    const ProtocolClient::SearchSummary summary = dialog.summary();
    const bool endedEarly = dialog.endedEarly();
    showStatus(searchStatus(devices.size(), m_adapterName, summary, endedEarly),
               summary.overflow > 0 || summary.refused > 0 || summary.foreignClaims > 0);
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

void MainWindow::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    saveLayout();
    // A broadcast does not outlive the window; the dialog stops it and deletes itself.
    if (BroadcastDialog* dialog = BroadcastDialog::instance())
        dialog->reject();
}

} // namespace orvane
