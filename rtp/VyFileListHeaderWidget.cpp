#include "VyFileListHeaderWidget.h"

#include "VyLanguage.h"

#include <QHBoxLayout>
#include <QLabel>

VyFileListHeaderWidget::VyFileListHeaderWidget(QWidget* parent)
    : QWidget(parent), m_name(new QLabel(vyTr("Name"), this)), m_duration(new QLabel(vyTr("Duration"), this))
{
    setObjectName(QStringLiteral("VyFileListHeaderWidget"));
    // A plain QWidget paints no style-sheet background without this.
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(QStringLiteral("#VyFileListHeaderWidget{background-color:#ffc8dafa}"));
    auto* layout = new QHBoxLayout(this);
    for (QLabel* l : {m_name, m_duration}) {
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        l->setStyleSheet(QStringLiteral("QLabel{color:#000000;}"));
    }
    layout->addWidget(m_name, 2);
    layout->addWidget(m_duration, 1);
}
