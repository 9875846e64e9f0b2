#pragma once

#include "RoundedWidget.h"

class QLabel;

namespace orvane {

// The rounded box a toast shows: one label inset by the padding.
class ToastView : public RoundedWidget
{
    Q_OBJECT

public:
    ToastView(QWidget* parent, int paddingX, int paddingY);

    QLabel* label() const { return m_label; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* m_label;
    int m_paddingX;
    int m_paddingY;
};

} // namespace orvane
