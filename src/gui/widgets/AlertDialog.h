#pragma once

#include "Dialog.h"

class QLabel;

namespace orvane {

// A plain message dialog; the caller sizes, centres and runs it.
class AlertDialog : public Dialog
{
    Q_OBJECT

public:
    explicit AlertDialog(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* m_label;
};

} // namespace orvane
