#include "OrvaneNameSettingDialog.h"

#include "OrvaneDevice.h"
#include "OrvaneSDK.h"

OrvaneNameSettingDialog::OrvaneNameSettingDialog(QWidget* parent, OrvaneSDK* sdk) : OrvaneSettingDialog(parent, sdk) {}

OrvaneNameSettingDialog::~OrvaneNameSettingDialog()
{
    stop();
}

void OrvaneNameSettingDialog::setLists(const QList<OrvaneDevice*>& devices, const QStringList& names)
{
    setDevices(devices);
    m_names = names;
}

void OrvaneNameSettingDialog::run()
{
    const QList<OrvaneDevice*> targets = devices();
    for (int i = 0; i < targets.size() && i < m_names.size(); ++i) {
        if (isStopped())
            break;
        if (sdk()->setName(targets.at(i), m_names.at(i)) == 0)
            targets.at(i)->setName(m_names.at(i));
    }
    emit _close();
}
