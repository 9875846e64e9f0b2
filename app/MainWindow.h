#pragma once

#include "OrvaneCommandObserver.h"

#include <QMainWindow>
#include <QModelIndex>
#include <memory>

class OrvaneDevice;
class OrvaneDeviceModel;
class OrvaneSDK;
class OrvaneSettingWidget;
class QPushButton;
class VyTableView;
class VyToast;

// The program's window: four buttons, the device table, and below it the
// settings page of the column last clicked. Owns the command set and logs
// every command text it sends and receives.
class MainWindow : public QMainWindow, public OrvaneCommandObserver
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
    static constexpr int PageAreaHeight = 300;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void onSendCommand(OrvaneSDK* sdk, const char* text) override;
    void onRecvCommand(OrvaneSDK* sdk, const char* text) override;

    OrvaneSDK* sdk() const { return m_sdk.get(); }
    OrvaneDeviceModel* model() const { return m_model; }
    VyTableView* tableView() const { return m_table; }
    OrvaneSettingWidget* currentPage() const { return m_currentPage; }
    // The cached page of kind, or none when it was never shown.
    OrvaneSettingWidget* cachedPage(PageKind kind) const;
    QRect pageArea() const;

    // The page a click on column shows; NoPage for columns that remove the page.
    static PageKind pageForColumn(int column);

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
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    OrvaneSettingWidget* page(PageKind kind);
    void setCurrentPage(OrvaneSettingWidget* page);
    void openRememberedAdapter();
    void applyCellEdit(OrvaneDevice* device, int column, const QString& text);

    std::unique_ptr<OrvaneSDK> m_sdk;
    QPushButton* m_networkButton;
    QPushButton* m_searchButton;
    QPushButton* m_rtpButton;
    QPushButton* m_settingButton;
    VyTableView* m_table;
    OrvaneDeviceModel* m_model;
    OrvaneSettingWidget* m_currentPage = nullptr;
    OrvaneSettingWidget* m_pages[PageCount] = {};
    VyToast* m_toast;
};
