#pragma once

#include "SettingsPage.h"
#include "SipAccountSettings.h"

class QLabel;
class QLineEdit;

namespace orvane {

// The two SIP accounts of a device. The values come from the device itself,
// read each time a device is shown; "Set" and "Set All" send what the fields hold.
class SipPage : public SettingsPage
{
    Q_OBJECT

public:
    static constexpr int FieldCount = 5;

    SipPage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model);

    void showDevice(DeviceRecord* device) override;

protected:
    bool fieldsTask(DeviceJob::Task* task) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // One column of the page: a title, five labels and five edits.
    struct Column
    {
        QLabel* title = nullptr;
        QLabel* labels[FieldCount] = {};
        QLineEdit* edits[FieldCount] = {};
    };

    void buildColumn(Column& column, int number);
    static void fill(Column& column, const SipAccountSettings& sip);
    static SipAccountSettings read(const Column& column);

    QLabel* m_header;
    Column m_columns[2];
    bool m_reading = false;
};

} // namespace orvane
