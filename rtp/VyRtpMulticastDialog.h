#pragma once

#include "RTPFileAudioReaderObserver.h"
#include "VyDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class RTPFileAudioReader;
class RTPMulticast;
class VyCoreAudioSelectWidget;
class VyFileListWidget;
class VyToast;

// The operator's window for the RTP broadcast: destination, a play list or
// an audio endpoint as the source, Start and Stop. One exists at a time.
class VyRtpMulticastDialog : public VyDialog, public RTPFileAudioReaderObserver
{
    Q_OBJECT
public:
    static constexpr int InitialWidth = 420;
    static constexpr int InitialHeight = 600;
    static constexpr int ToastPosition = 36;
    static constexpr int ToastMs = 2000;
    enum Tab
    {
        MediaTab = 0,
        SourceTab = 1,
    };

    explicit VyRtpMulticastDialog(QWidget* parent = nullptr);
    ~VyRtpMulticastDialog() override;

    // The one open dialog, or null.
    static VyRtpMulticastDialog* instance();
    // Brings the one dialog to the front, making it when there is none.
    static VyRtpMulticastDialog* showOne();

    void onFileOpened(RTPFileAudioReader* reader, int position, const QString& path) override;
    void onFileOpenFailed(RTPFileAudioReader* reader, int position, const QString& path) override;

    bool isRunning() const { return m_driver != nullptr; }
    QLineEdit* addressEdit() const { return m_address; }
    QTabWidget* tabs() const { return m_tabs; }
    VyCoreAudioSelectWidget* selector() const { return m_selector; }
    VyFileListWidget* playList() const { return m_playList; }
    QPushButton* startButton() const { return m_start; }
    QPushButton* stopButton() const { return m_stop; }
    VyToast* toast() const { return m_toast; }
    RTPMulticast* driver() const { return m_driver; }

signals:
    void stopAsync();
    void updateFilePlayingAysnc(int position, QString file);

public slots:
    void onClickStartButton(bool checked);
    void onClickStopButton(bool checked);
    void onDoubleClickFile(int position);
    void onStop();
    void onUpdateFilePlaying(int position, QString file);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void showMessage(const QString& text);
    void setRunning(bool running);
    void stopBroadcast();

    QLabel* m_title;
    QLabel* m_addressLabel;
    QLineEdit* m_address;
    QTabWidget* m_tabs;
    VyCoreAudioSelectWidget* m_selector;
    VyFileListWidget* m_playList;
    QPushButton* m_start;
    QPushButton* m_stop;
    VyToast* m_toast = nullptr;
    RTPMulticast* m_driver = nullptr;
    RTPFileAudioReader* m_fileSource = nullptr;
};
