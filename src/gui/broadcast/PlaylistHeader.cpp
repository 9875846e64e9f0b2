#include "PlaylistHeader.h"

#include "Language.h"

#include <QHBoxLayout>
#include <QLabel>

namespace orvane {

PlaylistHeader::PlaylistHeader(QWidget* parent)
    : QWidget(parent), m_name(new QLabel(translated("Name"), this)), m_duration(new QLabel(translated("Duration"), this))
{
    setObjectName(QStringLiteral("PlaylistHeader"));
    // A plain QWidget paints no style-sheet background without this.
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(QStringLiteral("#PlaylistHeader{background-color:#ffc8dafa}"));
    auto* layout = new QHBoxLayout(this);
    for (QLabel* l : {m_name, m_duration}) {
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        l->setStyleSheet(QStringLiteral("QLabel{color:#000000;}"));
    }
    layout->addWidget(m_name, 2);
    layout->addWidget(m_duration, 1);
}

} // namespace orvane
