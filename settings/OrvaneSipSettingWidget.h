#pragma once

#include "OrvaneSettingWidget.h"
#include "SipSettings.h"

class OrvaneSipSettingReadDialog;
class QLabel;
class QLineEdit;
class QPushButton;

// The two SIP accounts of a device. The values come from the device itself,
// read each time a device is shown; "Set" and "Set All" send what the fields hold.
class OrvaneSipSettingWidget : public OrvaneSettingWidget
{
    Q_OBJECT

public:
    static constexpr int FieldCount = 5;

    OrvaneSipSettingWidget(QWidget* parent, OrvaneSDK* sdk, OrvaneDeviceModel* model);

    void showDevice(OrvaneDevice* device) override;

protected slots:
    void onClickSetButton(bool checked) override;
    void onClickSetAllButton(bool checked) override;

protected:
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
    static void fill(Column& column, const SipSettings& sip);
    static SipSettings read(const Column& column);
    void runWrite(const QList<OrvaneDevice*>& devices);

    QLabel* m_header;
    Column m_columns[2];
    QPushButton* m_setButton;
    QPushButton* m_setAllButton;
    SipSettings m_account1;
    SipSettings m_account2;
    OrvaneSipSettingReadDialog* m_readJob = nullptr;
};
