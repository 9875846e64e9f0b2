#pragma once

#include <QFrame>
#include <QStringList>
#include <functional>

class QListWidgetItem;
class QMenu;
class QMimeData;

namespace orvane {

class PlaylistView;
class PlaylistHeader;
class PlaylistTail;

// The broadcast's play list: a header row, one row per MP3 file with its
// duration, and an add row. Editable while no broadcast runs.
class PlaylistWidget : public QFrame
{
    Q_OBJECT
public:
    static constexpr int HeaderWidth = 250;
    static constexpr int FileRowWidth = 200;
    static constexpr int RowHeight = 30;

    explicit PlaylistWidget(QWidget* parent = nullptr);

    void setFiles(const QStringList& files);
    QStringList files() const { return m_files; }
    void setEditable(bool editable);
    bool isEditable() const { return m_editable; }
    void setPlaying(int position);
    int playing() const { return m_playing; }
    int current() const { return m_current; }

    PlaylistView* list() const { return m_list; }
    PlaylistHeader* header() const { return m_header; }
    PlaylistTail* tail() const { return m_tail; }

    // The menu for the row at pos of the inner list's viewport; sets current.
    // Null while not editable. The caller owns it.
    QMenu* makeContextMenu(const QPoint& pos);
    // Replaces the file dialog of onClickAddFile (tests, scripted use).
    void setFileChooser(std::function<QStringList()> chooser) { m_chooser = std::move(chooser); }
    // Inserts paths as onClickAddFile does after current; files that cannot
    // be played are left out and reported through filesRefused.
    void insertFiles(const QStringList& paths);

    // Drop rules: accepted only when every URL is a local .mp3 file.
    static bool acceptsDrop(const QMimeData* mime);
    // Appends every playable local .mp3 file of the drop; returns how many.
    int addDropped(const QMimeData* mime);

    // Seconds of the file's best audio stream, else of the container, else 0.
    static double durationSeconds(const QString& path);
    // "%02d:%02d" below 3601 s, "%02d:%02d:%02d" from there on.
    static QString formatDuration(double seconds);
    // The text after the last slash or backslash, unless that is the last character.
    static QString displayName(const QString& path);
    // Shows the file in the desktop's file manager, or opens its folder.
    static void showInFileManager(const QString& path);

signals:
    void doubleClicked(int position);
    // Files that were not added, each with why ("cannot play PATH: REASON").
    void filesRefused(const QStringList& reasons);

public slots:
    void onClickLocationFile();
    void onClickTopFile();
    void onClickAddFile();
    void onClickDeleteFile();

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void onItemClicked(QListWidgetItem* item);
    void onItemDoubleClicked(QListWidgetItem* item);
    void onContextMenuRequested(const QPoint& pos);

private:
    void rebuild();
    bool isFilePosition(int position) const { return position >= 0 && position < m_files.size(); }

    int m_current = -1;
    PlaylistView* m_list;
    int m_playing = -1;
    QStringList m_files;
    bool m_editable = true;
    PlaylistHeader* m_header = nullptr;
    PlaylistTail* m_tail = nullptr;
    std::function<QStringList()> m_chooser;
};

} // namespace orvane
