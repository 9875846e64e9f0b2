#pragma once

#include "OrvaneSettingDialog.h"

#include <QStringList>

// Renames devices: names[i] goes to device i.
class OrvaneNameSettingDialog : public OrvaneSettingDialog
{
    Q_OBJECT

public:
    OrvaneNameSettingDialog(QWidget* parent, OrvaneSDK* sdk);
    ~OrvaneNameSettingDialog() override;

    void setLists(const QList<OrvaneDevice*>& devices, const QStringList& names);
    void run() override;

private:
    QStringList m_names;
};
