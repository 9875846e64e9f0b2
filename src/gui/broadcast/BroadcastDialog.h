#pragma once

#include "Dialog.h"
#include "FileAudioReaderObserver.h"

#include <QSet>

class QLabel;
class QSpinBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace orvane {

class FileAudioReader;
class MulticastBroadcast;
class AudioSourceSelector;
class PlaylistWidget;
class Toast;

// The operator's window for the RTP broadcast: destination, a play list or
// an audio endpoint as the source, Start and Stop. One exists at a time.
class BroadcastDialog : public Dialog, public FileAudioReaderObserver
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

    explicit BroadcastDialog(QWidget* parent = nullptr);
    ~BroadcastDialog() override;

    // The one open dialog, or null.
    static BroadcastDialog* instance();
    // Brings the one dialog to the front, making it when there is none.
    static BroadcastDialog* showOne();

    void onFileOpened(FileAudioReader* reader, int position, const QString& path) override;
    void onFileOpenFailed(FileAudioReader* reader, int position, const QString& path) override;

    bool isRunning() const { return m_driver != nullptr; }
    QLineEdit* addressEdit() const { return m_address; }
    QTabWidget* tabs() const { return m_tabs; }
    AudioSourceSelector* selector() const { return m_selector; }
    PlaylistWidget* playList() const { return m_playList; }
    QPushButton* startButton() const { return m_start; }
    QPushButton* stopButton() const { return m_stop; }
    Toast* toast() const { return m_toast; }
    QSpinBox* ttlBox() const { return m_ttl; }
    // What the last start or run ended with, in plain words; empty when all went well.
    QLabel* statusLabel() const { return m_status; }
    MulticastBroadcast* driver() const { return m_driver; }

signals:
    void updateFilePlayingAysnc(int position, QString file);
    void sendFailedAsync(int run, QString cause);
    void fileFailedAsync(int run, int position, QString path);

public slots:
    void onClickStartButton(bool checked);
    void onClickStopButton(bool checked);
    void onDoubleClickFile(int position);
    void onStop();
    void onUpdateFilePlaying(int position, QString file);
    void onSendFailed(int run, const QString& cause);
    // A play-list file that cannot be opened or ends without one frame of
    // audio: named, then passed over while another file may still play.
    void onFileFailed(int run, int position, const QString& path);

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
    AudioSourceSelector* m_selector;
    PlaylistWidget* m_playList;
    QPushButton* m_start;
    QPushButton* m_stop;
    QLabel* m_ttlLabel;
    QSpinBox* m_ttl;
    QLabel* m_status;
    int m_run = 0;           // tells a late failure notice of an earlier run from one of this run
    QSet<int> m_failedFiles; // play-list positions that gave no audio in this run
    QString m_destination;
    Toast* m_toast = nullptr;
    MulticastBroadcast* m_driver = nullptr;
    FileAudioReader* m_fileSource = nullptr;
};

} // namespace orvane
