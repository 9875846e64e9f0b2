#pragma once

#include <QDialog>

namespace orvane {

// Base of the program's dialogs: no "?" button, and a way to sit over the window that opened it.
class Dialog : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog(QWidget* parent = nullptr);

    void centerOn(QWidget* widget);

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace orvane
