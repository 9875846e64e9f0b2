#include "VyRtpMulticastDialog.h"

#include "RTPFileAudioReader.h"
#include "RTPMulticast.h"
#include "RTPWinDeviceAudioReader.h"
#include "VyConfigure.h"
#include "VyCoreAudio.h"
#include "VyCoreAudioSelectWidget.h"
#include "VyFileListWidget.h"
#include "VyLanguage.h"
#include "VyToast.h"
#include "VyToastView.h"

#include <QCloseEvent>
#include <QDebug>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>

namespace {
VyRtpMulticastDialog* g_instance = nullptr;
} // namespace

VyRtpMulticastDialog::VyRtpMulticastDialog(QWidget* parent)
    : VyDialog(parent), m_title(new QLabel(vyTr("RTP Multicast"), this)),
      m_addressLabel(new QLabel(vyTr("RTP address"), this)), m_address(new QLineEdit(this)),
      m_tabs(new QTabWidget(this)), m_selector(new VyCoreAudioSelectWidget), m_playList(new VyFileListWidget),
      m_start(new QPushButton(vyTr("Start"), this)), m_stop(new QPushButton(vyTr("Stop"), this))
{
    setWindowTitle(vyTr("RTP Multicast"));
    m_title->setAlignment(Qt::AlignCenter);
    m_address->setPlaceholderText(vyTr("eg. 239.255.0.0:6000"));
    m_tabs->addTab(m_playList, vyTr("Audio Medias"));
    m_tabs->addTab(m_selector, vyTr("Audio Source"));
    // Drops land on the dialog wherever they fall and go to the play list.
    setAcceptDrops(true);
    m_address->setAcceptDrops(false);
    m_playList->setAcceptDrops(false);
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);
    setMinimumSize(InitialWidth, InitialHeight);
    resize(InitialWidth, InitialHeight);

    {
        VyConfigure config;
        const QString server = config.rtpServer();
        if (!server.isEmpty())
            m_address->setText(server);
        m_selector->setDevices(listAudioSources(), config.deviceId());
        m_playList->setFiles(config.rtpFileList());
        const int tab = config.rtpSourceIndex();
        if (tab >= 0 && tab < 2)
            m_tabs->setCurrentIndex(tab);
    }
    setRunning(false);
    m_playList->setPlaying(-1);

    connect(m_start, &QPushButton::clicked, this, &VyRtpMulticastDialog::onClickStartButton);
    connect(m_stop, &QPushButton::clicked, this, &VyRtpMulticastDialog::onClickStopButton);
    // Always queued: a file that fails to open inside a call on this thread
    // (Start, a double-click) must not delete its reader under that call.
    connect(this, &VyRtpMulticastDialog::stopAsync, this, &VyRtpMulticastDialog::onStop,
            Qt::QueuedConnection);
    connect(this, &VyRtpMulticastDialog::updateFilePlayingAysnc, this,
            &VyRtpMulticastDialog::onUpdateFilePlaying);
    connect(m_playList, &VyFileListWidget::doubleClicked, this, &VyRtpMulticastDialog::onDoubleClickFile);
    connect(this, &QDialog::rejected, this, &QObject::deleteLater);
    g_instance = this;
}

VyRtpMulticastDialog::~VyRtpMulticastDialog()
{
    // No source may report to a dialog that is gone.
    stopBroadcast();
    if (g_instance == this)
        g_instance = nullptr;
}

VyRtpMulticastDialog* VyRtpMulticastDialog::instance()
{
    return g_instance;
}

VyRtpMulticastDialog* VyRtpMulticastDialog::showOne()
{
    VyRtpMulticastDialog* dialog = g_instance ? g_instance : new VyRtpMulticastDialog;
    dialog->show();
    dialog->showNormal();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

void VyRtpMulticastDialog::resizeEvent(QResizeEvent* event)
{
    VyDialog::resizeEvent(event);
    const int w = width(), h = height();
    m_title->setGeometry((w - 300) / 2, 15, 300, 30);
    m_addressLabel->setGeometry(10, 55, 120, 20);
    m_address->setGeometry(140, 55, 220, 20);
    m_tabs->setGeometry(10, 85, w - 20, h - 180);
    const int x0 = (w / 2 - 150) / 2;
    m_start->setGeometry(x0, h - 80, 150, 30);
    m_stop->setGeometry(x0 + w / 2, h - 80, 150, 30);
}

void VyRtpMulticastDialog::showMessage(const QString& text)
{
    if (!m_toast)
        m_toast = new VyToast(this);
    m_toast->show(this, text, ToastPosition, ToastMs);
}

void VyRtpMulticastDialog::setRunning(bool running)
{
    m_address->setEnabled(!running);
    m_playList->setEditable(!running);
    m_start->setEnabled(!running);
    m_stop->setEnabled(running);
}

void VyRtpMulticastDialog::onClickStartButton(bool)
{
    if (m_driver)
        return;
    const QString text = m_address->text();
    const QStringList files = m_playList->files();
    const CoreAudioDeviceInfo endpoint = m_selector->selectedDevice();

    const QStringList parts = text.split(QLatin1Char(':'));
    QString host;
    int port = 0;
    if (parts.size() == 2) {
        host = parts.at(0);
        bool ok = false;
        port = parts.at(1).toInt(&ok, 10);
        if (!ok)
            port = 0;
    }
    if (host.isEmpty() || port == 0) {
        showMessage(vyTr("Please input correct rtp server"));
        return;
    }

    const int tab = m_tabs->currentIndex();
    RTPAudioReader* source = nullptr;
    if (tab == MediaTab) {
        if (files.isEmpty()) {
            showMessage(vyTr("Please add file"));
            return;
        }
        auto* reader = new RTPFileAudioReader;
        reader->setObserver(this);
        reader->setFiles(files);
        m_fileSource = reader;
        source = reader;
    } else {
        if (endpoint.id.isEmpty()) {
            showMessage(vyTr("Please select audio source"));
            return;
        }
        auto* reader = new RTPWinDeviceAudioReader;
        reader->setDevice(endpoint);
        source = reader;
    }
    m_driver = new RTPMulticast;
    m_driver->setReader(source);
    if (m_driver->start(host, port) < 0) {
        showMessage(vyTr("Start RTP Multicast failed"));
        stopBroadcast();
        setRunning(false);
        return;
    }

    {
        VyConfigure config;
        config.setRtpServer(text);
        if (tab == MediaTab)
            config.setRtpFileList(files);
        else
            config.setDeviceId(endpoint.id);
        config.setRtpSourceIndex(tab);
    }
    setRunning(true);
}

void VyRtpMulticastDialog::stopBroadcast()
{
    m_fileSource = nullptr;
    if (m_driver) {
        m_driver->stop();
        delete m_driver;
        m_driver = nullptr;
    }
}

void VyRtpMulticastDialog::onClickStopButton(bool)
{
    onStop();
}

void VyRtpMulticastDialog::onStop()
{
    stopBroadcast();
    setRunning(false);
    m_playList->setPlaying(-1);
}

void VyRtpMulticastDialog::onUpdateFilePlaying(int position, QString)
{
    m_playList->setPlaying(position);
}

void VyRtpMulticastDialog::onDoubleClickFile(int position)
{
    if (m_fileSource)
        m_fileSource->openIndex(position);
}

void VyRtpMulticastDialog::onFileOpened(RTPFileAudioReader*, int position, const QString& path)
{
    emit updateFilePlayingAysnc(position, path);
}

void VyRtpMulticastDialog::onFileOpenFailed(RTPFileAudioReader*, int, const QString&)
{
    emit stopAsync();
}

void VyRtpMulticastDialog::closeEvent(QCloseEvent* event)
{
    stopBroadcast();
    setRunning(false);
    m_playList->setPlaying(-1);
    VyDialog::closeEvent(event);
}

void VyRtpMulticastDialog::dragEnterEvent(QDragEnterEvent* event)
{
    qDebug() << "drag enter " << event;
    if (m_playList->isEditable() && VyFileListWidget::acceptsDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void VyRtpMulticastDialog::dragMoveEvent(QDragMoveEvent* event)
{
    if (m_playList->isEditable() && VyFileListWidget::acceptsDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void VyRtpMulticastDialog::dropEvent(QDropEvent* event)
{
    if (!m_playList->isEditable() || !VyFileListWidget::acceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    m_playList->addDropped(event->mimeData());
    event->acceptProposedAction();
}
