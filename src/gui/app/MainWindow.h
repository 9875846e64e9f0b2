#pragma once

#include "CommandObserver.h"
#include "ProtocolClient.h"

#include <QMainWindow>
#include <QModelIndex>
#include <memory>

class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class QSplitter;

namespace orvane {

struct Adapter;
class DeviceRecord;
class DeviceTableModel;
class ProtocolClient;
class SettingsPage;

class CopyingTableView;
class Toast;

// The program's window: a row of buttons, the device table, and below it the
// settings page of the column last clicked, the two sharing the height through
// a splitter; a status line says what the last search found. Owns the command
// set and logs every command text it sends and receives.
class MainWindow : public QMainWindow, public CommandObserver
{
    Q_OBJECT

public:
    // One cache slot per settings page, each filled the first time its column is clicked.
    enum PageKind
    {
        NamePage,
        MacPage,
        IpPage,
        SipPage,
        RtpPage,
        AudioPage,
        VersionPage,
        TestPage,
        PageCount,
        NoPage = -1
    };

    static constexpr int AutoSearchDelayMs = 100;
    // The page area's share of the height until the operator moves the splitter.
    static constexpr int PageAreaHeight = 280;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void onSendCommand(ProtocolClient* client, const char* text) override;
    void onRecvCommand(ProtocolClient* client, const char* text) override;

    ProtocolClient* client() const { return m_client.get(); }
    DeviceTableModel* model() const { return m_model; }
    CopyingTableView* tableView() const { return m_table; }
    SettingsPage* currentPage() const { return m_currentPage; }
    // The cached page of kind, or none when it was never shown.
    SettingsPage* cachedPage(PageKind kind) const;
    // The scrolling area that holds the current page, below the splitter.
    QScrollArea* pageArea() const { return m_pageArea; }
    QSplitter* splitter() const { return m_splitter; }
    QString statusText() const;
    // True while the capture bar says that frames cannot be captured.
    bool captureMissing() const;

    // The page a click on column shows; NoPage for columns that remove the page.
    static PageKind pageForColumn(int column);
    // The status line after a search: how many devices, on which adapter, and
    // whatever else the search met that the operator should know of.
    static QString searchStatus(int rows, const QString& adapter, const ProtocolClient::SearchSummary& summary,
                                bool endedEarly);

public slots:
    void onClickTableHeaderView(int section);
    void onClickTableViewIndex(const QModelIndex& index);
    void onModelModifyData(const QModelIndex& index, const QVariant& value, int role);
    void onClickNetworkButton(bool checked);
    void onClickSearchButton(bool checked);
    void onClickRtpButton(bool checked);
    void onClickSettingButton(bool checked);
    void autoSearch();

signals:
    // A search has ended and the table shows its result (rows: how many).
    void searchFinished(int rows);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    SettingsPage* page(PageKind kind);
    void setCurrentPage(SettingsPage* page);
    void openRememberedAdapter();
    void setupLayout();
    void setupCaptureBar();
    void restoreLayout();
    void saveLayout();
    void fitPageArea();
    // Title and capture bar for the adapter just opened.
    void updateCaptureState(const Adapter* adapter);
    void showStatus(const QString& text, bool warning);
    void applyCellEdit(DeviceRecord* device, int column, const QString& text);

    std::unique_ptr<ProtocolClient> m_client;
    QPushButton* m_networkButton;
    QPushButton* m_searchButton;
    QPushButton* m_rtpButton;
    QPushButton* m_settingButton;
    QPushButton* m_plansButton;
    CopyingTableView* m_table;
    DeviceTableModel* m_model;
    SettingsPage* m_currentPage = nullptr;
    SettingsPage* m_pages[PageCount] = {};
    Toast* m_toast;
    QFrame* m_captureBar = nullptr;
    QLabel* m_captureLabel = nullptr;
    QLabel* m_statusLabel = nullptr;
    QSplitter* m_splitter = nullptr;
    QScrollArea* m_pageArea = nullptr;
    QWidget* m_pageHost = nullptr;
    bool m_autoSplit = true;
    QString m_adapterName;
};

} // namespace orvane
