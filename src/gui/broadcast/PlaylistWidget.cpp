#include "PlaylistWidget.h"

#include "FileAudioReader.h"

#include "Language.h"
#include "PlaylistHeader.h"
#include "PlaylistItem.h"
#include "PlaylistTail.h"
#include "PlaylistView.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDebug>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

extern "C" {
#include <libavformat/avformat.h>
}

namespace orvane {

namespace {

const char Mp3Suffix[] = "mp3";

// The text after the last dot, case kept: "song.MP3" is not taken.
bool isLocalMp3(const QUrl& url)
{
    if (!url.isLocalFile())
        return false;
    const QString path = url.toLocalFile();
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && path.mid(dot + 1) == QLatin1String(Mp3Suffix);
}

} // namespace

PlaylistWidget::PlaylistWidget(QWidget* parent) : QFrame(parent), m_list(new PlaylistView(this))
{
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QListWidget::itemClicked, this, &PlaylistWidget::onItemClicked);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &PlaylistWidget::onItemDoubleClicked);
    connect(m_list, &QWidget::customContextMenuRequested, this, &PlaylistWidget::onContextMenuRequested);
    rebuild();
}

void PlaylistWidget::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    m_list->setGeometry(0, 0, width(), height());
}

void PlaylistWidget::setFiles(const QStringList& files)
{
    m_files = files;
    rebuild();
}

void PlaylistWidget::setEditable(bool editable)
{
    m_editable = editable;
    if (m_header)
        m_header->setEnabled(editable);
    if (m_tail)
        m_tail->setEnabled(editable);
}

void PlaylistWidget::setPlaying(int position)
{
    m_playing = position;
    for (int p = 0; p < m_files.size(); ++p) {
        auto* w = qobject_cast<PlaylistItem*>(m_list->itemWidget(m_list->item(p + 1)));
        if (w)
            w->setPlaying(p == position);
    }
}

void PlaylistWidget::rebuild()
{
    m_list->clear();
    auto* headerItem = new QListWidgetItem(m_list);
    headerItem->setSizeHint(QSize(HeaderWidth, RowHeight));
    m_header = new PlaylistHeader;
    m_list->setItemWidget(headerItem, m_header);

    for (int p = 0; p < m_files.size(); ++p) {
        const QString& path = m_files.at(p);
        auto* item = new QListWidgetItem(m_list);
        item->setSizeHint(QSize(FileRowWidth, RowHeight));
        auto* w = new PlaylistItem(displayName(path), path, formatDuration(durationSeconds(path)));
        w->setPlaying(p == m_playing);
        m_list->setItemWidget(item, w);
    }

    auto* tailItem = new QListWidgetItem(m_list);
    tailItem->setSizeHint(QSize(HeaderWidth, RowHeight));
    tailItem->setFlags(Qt::ItemIsEnabled);
    m_tail = new PlaylistTail;
    m_list->setItemWidget(tailItem, m_tail);
    setEditable(m_editable);
}

QString PlaylistWidget::displayName(const QString& path)
{
    const int cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    if (cut < 0 || cut == path.size() - 1)
        return path;
    return path.mid(cut + 1);
}

double PlaylistWidget::durationSeconds(const QString& path)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.toUtf8().constData(), nullptr, nullptr) != 0)
        return 0;
    double seconds = 0;
    if (avformat_find_stream_info(format, nullptr) >= 0) {
        const int best = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        const AVStream* stream = best >= 0 ? format->streams[best] : nullptr;
        if (stream && stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
            seconds = double(stream->duration) * av_q2d(stream->time_base);
        else if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
            seconds = double(format->duration) / AV_TIME_BASE;
    }
    avformat_close_input(&format);
    return seconds;
}

QString PlaylistWidget::formatDuration(double seconds)
{
    const qint64 s = seconds > 0 ? qint64(seconds) : 0;
    if (s < 3601)
        return QString::asprintf("%02lld:%02lld", s / 60, s % 60);
    return QString::asprintf("%02lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
}

void PlaylistWidget::onItemClicked(QListWidgetItem* item)
{
    if (!item || !m_editable || m_list->row(item) != m_list->count() - 1)
        return;
    m_current = -1;
    onClickAddFile();
}

void PlaylistWidget::onItemDoubleClicked(QListWidgetItem* item)
{
    const int row = item ? m_list->row(item) : -1;
    if (isFilePosition(row - 1))
        emit doubleClicked(row - 1);
}

QMenu* PlaylistWidget::makeContextMenu(const QPoint& pos)
{
    if (!m_editable)
        return nullptr;
    QListWidgetItem* item = m_list->itemAt(pos);
    m_current = item ? m_list->row(item) - 1 : -1;
    auto* menu = new QMenu(this);
    if (isFilePosition(m_current)) {
        menu->addAction(translated("Open In Explorer"), this, &PlaylistWidget::onClickLocationFile);
        menu->addAction(translated("Top"), this, &PlaylistWidget::onClickTopFile);
    }
    menu->addAction(translated("Add"), this, &PlaylistWidget::onClickAddFile);
    if (isFilePosition(m_current))
        menu->addAction(translated("Delete"), this, &PlaylistWidget::onClickDeleteFile);
    return menu;
}

void PlaylistWidget::onContextMenuRequested(const QPoint& pos)
{
    QMenu* menu = makeContextMenu(pos);
    if (!menu)
        return;
    menu->exec(m_list->viewport()->mapToGlobal(pos));
    delete menu;
}

void PlaylistWidget::onClickAddFile()
{
    QStringList chosen;
    if (m_chooser) {
        chosen = m_chooser();
    } else {
        QFileDialog dialog(this);
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setNameFilter(QStringLiteral("*.mp3"));
        dialog.setFilter(QDir::Files);
        if (dialog.exec() == QDialog::Accepted)
            chosen = dialog.selectedFiles();
    }
    if (!chosen.isEmpty())
        insertFiles(chosen);
}

namespace {
QStringList playable(const QStringList& paths, QStringList* refused)
{
    QStringList ok;
    for (const QString& p : paths) {
        const QString problem = FileAudioReader::problemWith(p);
        if (problem.isEmpty())
            ok.append(p);
        else
            refused->append(QStringLiteral("cannot play %1: %2").arg(p, problem));
    }
    return ok;
}
} // namespace

void PlaylistWidget::insertFiles(const QStringList& paths)
{
    QStringList refused;
    const int at = m_current < 0 ? m_files.size() : std::min(m_current + 1, int(m_files.size()));
    for (const QString& p : playable(paths, &refused))
        m_files.insert(at, p);
    rebuild();
    if (!refused.isEmpty())
        emit filesRefused(refused);
}

void PlaylistWidget::onClickDeleteFile()
{
    if (!isFilePosition(m_current))
        return;
    m_files.removeAt(m_current);
    delete m_list->takeItem(m_current + 1);
    if (m_playing == m_current)
        m_playing = -1;
    else if (m_playing > m_current)
        --m_playing;
    m_current = -1;
}

void PlaylistWidget::onClickTopFile()
{
    if (!isFilePosition(m_current) || m_current == 0)
        return;
    m_files.swapItemsAt(0, m_current);
    auto* top = qobject_cast<PlaylistItem*>(m_list->itemWidget(m_list->item(1)));
    auto* other = qobject_cast<PlaylistItem*>(m_list->itemWidget(m_list->item(m_current + 1)));
    if (!top || !other)
        return;
    // The texts change places; each row keeps its colour.
    const QString name = top->nameLabel()->text(), tip = top->nameLabel()->toolTip(),
                  duration = top->durationLabel()->text();
    top->nameLabel()->setText(other->nameLabel()->text());
    top->nameLabel()->setToolTip(other->nameLabel()->toolTip());
    top->durationLabel()->setText(other->durationLabel()->text());
    other->nameLabel()->setText(name);
    other->nameLabel()->setToolTip(tip);
    other->durationLabel()->setText(duration);
}

void PlaylistWidget::onClickLocationFile()
{
    if (isFilePosition(m_current))
        showInFileManager(m_files.at(m_current));
}

void PlaylistWidget::showInFileManager(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(absolute).toString()} << QString();
        // Bounded: a file manager that is slow to start must not freeze the dialog for long.
        const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return;
        qDebug() << "no file manager answered:" << reply.errorMessage();
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(absolute).absolutePath()));
}

bool PlaylistWidget::acceptsDrop(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().isEmpty())
        return false;
    for (const QUrl& url : mime->urls())
        if (!isLocalMp3(url))
            return false;
    return true;
}

int PlaylistWidget::addDropped(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls())
        return 0;
    QStringList local, refused;
    for (const QUrl& url : mime->urls())
        if (isLocalMp3(url))
            local.append(url.toLocalFile());
    const QStringList ok = playable(local, &refused);
    m_files += ok;
    rebuild();
    if (!refused.isEmpty())
        emit filesRefused(refused);
    return ok.size();
}

} // namespace orvane
