#include "AlertDialog.h"

#include <QLabel>

namespace orvane {

AlertDialog::AlertDialog(QWidget* parent) : Dialog(parent), m_label(new QLabel(this))
{
    m_label->setAlignment(Qt::AlignCenter);
}

void AlertDialog::setText(const QString& text)
{
    m_label->setText(text);
}

QString AlertDialog::text() const
{
    return m_label->text();
}

void AlertDialog::resizeEvent(QResizeEvent* event)
{
    Dialog::resizeEvent(event);
    m_label->setGeometry(rect());
}

} // namespace orvane
