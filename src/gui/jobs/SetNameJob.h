#pragma once

#include "PageJob.h"

#include <QStringList>

// Renames devices: names[i] goes to device i.
class SetNameJob : public PageJob
{
    Q_OBJECT

public:
    SetNameJob(QWidget* parent, ProtocolClient* sdk);
    ~SetNameJob() override;

    void setLists(const QList<DeviceRecord*>& devices, const QStringList& names);
    void run() override;

private:
    QStringList m_names;
};
