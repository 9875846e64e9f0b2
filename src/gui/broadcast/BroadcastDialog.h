#pragma once

#include "FileAudioReaderObserver.h"
#include "Dialog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
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
    MulticastBroadcast* driver() const { return m_driver; }

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
    AudioSourceSelector* m_selector;
    PlaylistWidget* m_playList;
    QPushButton* m_start;
    QPushButton* m_stop;
    Toast* m_toast = nullptr;
    MulticastBroadcast* m_driver = nullptr;
    FileAudioReader* m_fileSource = nullptr;
};
