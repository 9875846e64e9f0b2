#pragma once

#include "SettingsPage.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace orvane {

// Renames the current device, or gives every target device the same name.
class NamePage : public SettingsPage
{
    Q_OBJECT

public:
    NamePage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model);

    void showDevice(DeviceRecord* device) override;

protected slots:
    void onClickSetButton(bool checked) override;
    void onClickSetAllButton(bool checked) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updatePreview();

    QLabel* m_deviceLabel;
    QLabel* m_promptLabel;
    QLineEdit* m_valueEdit;
    QLabel* m_previewLabel;
    QPushButton* m_setButton;
    QPushButton* m_setAllButton;
};

} // namespace orvane
