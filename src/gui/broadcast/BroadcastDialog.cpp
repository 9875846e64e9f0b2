#include "BroadcastDialog.h"

#include "AppConfig.h"
#include "AudioEndpoints.h"
#include "AudioSourceSelector.h"
#include "FileAudioReader.h"
#include "Language.h"
#include "LiveAudioReader.h"
#include "MulticastBroadcast.h"
#include "PlaylistWidget.h"
#include "RtpMulticastSession.h"
#include "StreamDestination.h"
#include "Toast.h"
#include "ToastView.h"

#include <QCloseEvent>
#include <QDebug>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

namespace orvane {

namespace {
BroadcastDialog* g_instance = nullptr;
} // namespace

BroadcastDialog::BroadcastDialog(QWidget* parent)
    : Dialog(parent), m_title(new QLabel(translated("RTP Multicast"), this)),
      m_addressLabel(new QLabel(translated("RTP address"), this)), m_address(new QLineEdit(this)),
      m_tabs(new QTabWidget(this)), m_selector(new AudioSourceSelector), m_playList(new PlaylistWidget),
      m_start(new QPushButton(translated("Start"), this)), m_stop(new QPushButton(translated("Stop"), this)),
      m_ttlLabel(new QLabel(translated("TTL"), this)), m_ttl(new QSpinBox(this)), m_status(new QLabel(this))
{
    m_ttl->setRange(1, 255);
    m_ttl->setValue(RtpMulticastSession::MulticastTtl);
    m_status->setWordWrap(true);
    setWindowTitle(translated("RTP Multicast"));
    m_title->setAlignment(Qt::AlignCenter);
    m_address->setPlaceholderText(translated("eg. 239.255.0.0:6000"));
    m_tabs->addTab(m_playList, translated("Audio Medias"));
    m_tabs->addTab(m_selector, translated("Audio Source"));
    // Drops land on the dialog wherever they fall and go to the play list.
    setAcceptDrops(true);
    m_address->setAcceptDrops(false);
    m_playList->setAcceptDrops(false);
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);
    setMinimumSize(InitialWidth, InitialHeight);
    resize(InitialWidth, InitialHeight);

    {
        AppConfig config;
        const QString server = config.rtpServer();
        if (!server.isEmpty())
            m_address->setText(server);
        const QList<AudioEndpoint> sources = listAudioSources();
        m_selector->setDevices(sources, config.deviceId());
        QString reason;
        if (sources.isEmpty() && !soundServerReachable(&reason))
            m_status->setText(
                translated("No sound server was reached (%1): no audio source can be captured.").arg(reason));
        m_playList->setFiles(config.rtpFileList());
        const int tab = config.rtpSourceIndex();
        if (tab >= 0 && tab < 2)
            m_tabs->setCurrentIndex(tab);
    }
    setRunning(false);
    m_playList->setPlaying(-1);

    connect(m_start, &QPushButton::clicked, this, &BroadcastDialog::onClickStartButton);
    connect(m_stop, &QPushButton::clicked, this, &BroadcastDialog::onClickStopButton);
    connect(this, &BroadcastDialog::updateFilePlayingAysnc, this, &BroadcastDialog::onUpdateFilePlaying);
    connect(this, &BroadcastDialog::sendFailedAsync, this, &BroadcastDialog::onSendFailed,
            Qt::QueuedConnection);
    // Always queued: a file that fails to open inside a call on this thread
    // (Start, a double-click) must not delete or move its reader under that call.
    connect(this, &BroadcastDialog::fileFailedAsync, this, &BroadcastDialog::onFileFailed,
            Qt::QueuedConnection);
    connect(m_playList, &PlaylistWidget::doubleClicked, this, &BroadcastDialog::onDoubleClickFile);
    connect(m_playList, &PlaylistWidget::filesRefused, this, [this](const QStringList& reasons) {
        m_status->setText(reasons.join(QLatin1Char('\n')));
        showMessage(reasons.first());
    });
    connect(this, &QDialog::rejected, this, &QObject::deleteLater);
    g_instance = this;
}

BroadcastDialog::~BroadcastDialog()
{
    // No source may report to a dialog that is gone.
    stopBroadcast();
    if (g_instance == this)
        g_instance = nullptr;
}

BroadcastDialog* BroadcastDialog::instance()
{
    return g_instance;
}

BroadcastDialog* BroadcastDialog::showOne()
{
    BroadcastDialog* dialog = g_instance ? g_instance : new BroadcastDialog;
    dialog->show();
    dialog->showNormal();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

void BroadcastDialog::resizeEvent(QResizeEvent* event)
{
    Dialog::resizeEvent(event);
    const int w = width(), h = height();
    m_title->setGeometry((w - 300) / 2, 15, 300, 30);
    m_addressLabel->setGeometry(10, 55, 120, 20);
    m_address->setGeometry(140, 55, 160, 20);
    m_ttlLabel->setGeometry(w - 110, 55, 40, 20);
    m_ttl->setGeometry(w - 70, 55, 60, 20);
    m_tabs->setGeometry(10, 85, w - 20, h - 180);
    const int x0 = (w / 2 - 150) / 2;
    m_start->setGeometry(x0, h - 80, 150, 30);
    m_stop->setGeometry(x0 + w / 2, h - 80, 150, 30);
    m_status->setGeometry(10, h - 45, w - 20, 40);
}

void BroadcastDialog::showMessage(const QString& text)
{
    if (!m_toast)
        m_toast = new Toast(this);
    m_toast->show(this, text, ToastPosition, ToastMs);
}

void BroadcastDialog::setRunning(bool running)
{
    m_address->setEnabled(!running);
    m_ttl->setEnabled(!running);
    m_playList->setEditable(!running);
    m_start->setEnabled(!running);
    m_stop->setEnabled(running);
}

void BroadcastDialog::onClickStartButton(bool)
{
    if (m_driver)
        return;
    const QString text = m_address->text();
    const QStringList files = m_playList->files();
    const AudioEndpoint endpoint = m_selector->selectedDevice();

    StreamDestination destination;
    const QString problem = StreamDestination::parse(text, &destination);
    if (!problem.isEmpty()) {
        m_status->setText(problem);
        showMessage(translated("Please input correct rtp server"));
        return;
    }
    const QString host = destination.address;
    const int port = destination.port;

    const int tab = m_tabs->currentIndex();
    AudioReader* source = nullptr;
    if (tab == MediaTab) {
        if (files.isEmpty()) {
            showMessage(translated("Please add file"));
            return;
        }
        auto* reader = new FileAudioReader;
        reader->setObserver(this);
        reader->setFiles(files);
        m_fileSource = reader;
        source = reader;
    } else {
        if (endpoint.id.isEmpty()) {
            showMessage(translated("Please select audio source"));
            return;
        }
        auto* reader = new LiveAudioReader;
        reader->setDevice(endpoint);
        source = reader;
    }
    m_driver = new MulticastBroadcast;
    m_driver->setReader(source);
    // The stream leaves on the adapter the program talks to the devices on,
    // not wherever the routing table would send multicast.
    m_driver->setInterface(AppConfig().network());
    m_driver->setTtl(m_ttl->value());
    const int run = ++m_run;
    m_failedFiles.clear();
    m_driver->setFailureHandler([this, run](const QString& cause) { emit sendFailedAsync(run, cause); });
    if (m_driver->start(host, port) < 0) {
        m_status->setText(
            QStringLiteral("%1: %2").arg(translated("Start RTP Multicast failed"), m_driver->startError()));
        showMessage(translated("Start RTP Multicast failed"));
        stopBroadcast();
        setRunning(false);
        return;
    }
    m_destination = destination.text();
    m_status->setText(destination.hasOddPort()
                          ? translated("Sending to %1. The port is odd: RTP belongs on an even port and RTCP "
                                       "on the next, so some receivers will not find the reports.")
                                .arg(m_destination)
                          : translated("Sending to %1.").arg(m_destination));

    {
        AppConfig config;
        config.setRtpServer(text);
        if (tab == MediaTab)
            config.setRtpFileList(files);
        else
            config.setDeviceId(endpoint.id);
        config.setRtpSourceIndex(tab);
    }
    setRunning(true);
}

void BroadcastDialog::stopBroadcast()
{
    m_fileSource = nullptr;
    if (m_driver) {
        m_driver->stop();
        delete m_driver;
        m_driver = nullptr;
    }
}

void BroadcastDialog::onSendFailed(int run, const QString& cause)
{
    if (run != m_run || !m_driver)
        return;
    onStop();
    const QString text =
        translated("RTP Multicast stopped: packets to %1 cannot be sent (%2)").arg(m_destination, cause);
    m_status->setText(text);
    showMessage(text);
}

void BroadcastDialog::onClickStopButton(bool)
{
    onStop();
    m_status->clear();
}

void BroadcastDialog::onStop()
{
    stopBroadcast();
    setRunning(false);
    m_playList->setPlaying(-1);
}

void BroadcastDialog::onUpdateFilePlaying(int position, QString)
{
    m_playList->setPlaying(position);
}

void BroadcastDialog::onDoubleClickFile(int position)
{
    if (m_fileSource)
        m_fileSource->openIndex(position);
}

void BroadcastDialog::onFileOpened(FileAudioReader*, int position, const QString& path)
{
    emit updateFilePlayingAysnc(position, path);
}

void BroadcastDialog::onFileOpenFailed(FileAudioReader*, int position, const QString& path)
{
    emit fileFailedAsync(m_run, position, path);
}

void BroadcastDialog::onFileFailed(int run, int position, const QString& path)
{
    if (run != m_run)
        return;
    const QString why =
        translated("%1 yields no audio (it is missing, damaged or not MPEG audio).").arg(path);
    if (!m_driver) {
        // The start itself failed on this file: its message says so, this names the file.
        // After a stop, a notice that was still on its way says nothing more.
        const QString status = m_status->text();
        if (status.startsWith(translated("Start RTP Multicast failed")) && !status.contains(path))
            m_status->setText(status + QLatin1Char('\n') + why);
        return;
    }
    if (!m_fileSource)
        return;
    m_failedFiles.insert(position);
    const QStringList files = m_playList->files();
    int next = -1;
    for (int step = 1; step <= files.size() && next < 0; ++step) {
        const int candidate = (position + step) % files.size();
        if (!m_failedFiles.contains(candidate))
            next = candidate;
    }
    if (next < 0) {
        const QString text = translated("RTP Multicast stopped: no file in the play list yields audio (%1).")
                                 .arg(files.join(QStringLiteral(", ")));
        onStop();
        m_status->setText(text);
        showMessage(text);
        return;
    }
    const QString text =
        translated("Skipped %1: it yields no audio (it is missing, damaged or not MPEG audio).").arg(path);
    m_status->setText(text);
    showMessage(text);
    // A file that would not open leaves the reader on it with nothing to read; one
    // that opened and ended silent was already left behind by the reader itself.
    if (m_fileSource->index() == position)
        m_fileSource->openIndex(next);
}

void BroadcastDialog::closeEvent(QCloseEvent* event)
{
    stopBroadcast();
    setRunning(false);
    m_playList->setPlaying(-1);
    Dialog::closeEvent(event);
}

void BroadcastDialog::dragEnterEvent(QDragEnterEvent* event)
{
    qDebug() << "drag enter " << event;
    if (m_playList->isEditable() && PlaylistWidget::acceptsDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void BroadcastDialog::dragMoveEvent(QDragMoveEvent* event)
{
    if (m_playList->isEditable() && PlaylistWidget::acceptsDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void BroadcastDialog::dropEvent(QDropEvent* event)
{
    if (!m_playList->isEditable() || !PlaylistWidget::acceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    m_playList->addDropped(event->mimeData());
    event->acceptProposedAction();
}

} // namespace orvane
