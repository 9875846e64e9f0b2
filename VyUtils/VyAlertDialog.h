#pragma once

#include "VyDialog.h"

class QLabel;

// A plain message dialog; the caller sizes, centres and runs it.
class VyAlertDialog : public VyDialog
{
    Q_OBJECT

public:
    explicit VyAlertDialog(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* m_label;
};
