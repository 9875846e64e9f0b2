#pragma once

#include "OrvaneSettingDialog.h"

#include <QStringList>

// Gives devices new MAC addresses: macs[i] goes to device i, and later
// commands follow the device to its new address.
class OrvaneMacSettingDialog : public OrvaneSettingDialog
{
    Q_OBJECT

public:
    OrvaneMacSettingDialog(QWidget* parent, OrvaneSDK* sdk);
    ~OrvaneMacSettingDialog() override;

    void setLists(const QList<OrvaneDevice*>& devices, const QStringList& macs);
    void run() override;

private:
    QStringList m_macs;
};
