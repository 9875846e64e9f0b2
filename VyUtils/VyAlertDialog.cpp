#include "VyAlertDialog.h"

#include <QLabel>

VyAlertDialog::VyAlertDialog(QWidget* parent) : VyDialog(parent), m_label(new QLabel(this))
{
    m_label->setAlignment(Qt::AlignCenter);
}

void VyAlertDialog::setText(const QString& text)
{
    m_label->setText(text);
}

QString VyAlertDialog::text() const
{
    return m_label->text();
}

void VyAlertDialog::resizeEvent(QResizeEvent* event)
{
    VyDialog::resizeEvent(event);
    m_label->setGeometry(rect());
}
