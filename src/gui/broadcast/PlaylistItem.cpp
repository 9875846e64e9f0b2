#include "PlaylistItem.h"

#include <QHBoxLayout>
#include <QLabel>

namespace orvane {

namespace {
const char PlayingStyle[] = "QLabel{color:#ff0000;}";
const char IdleStyle[] = "QLabel{color:#000000;}";
} // namespace

PlaylistItem::PlaylistItem(const QString& name, const QString& path, const QString& duration,
                                           QWidget* parent)
    : QWidget(parent), m_name(new QLabel(name, this)), m_duration(new QLabel(duration, this))
{
    m_name->setToolTip(path);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 0, 6, 0); // the default margins leave the text too little height
    for (QLabel* l : {m_name, m_duration})
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    layout->addWidget(m_name, 2);
    layout->addWidget(m_duration, 1);
    setPlaying(false);
}

void PlaylistItem::setPlaying(bool playing)
{
    m_playing = playing;
    const QString style = QLatin1String(playing ? PlayingStyle : IdleStyle);
    m_name->setStyleSheet(style);
    m_duration->setStyleSheet(style);
}

} // namespace orvane
