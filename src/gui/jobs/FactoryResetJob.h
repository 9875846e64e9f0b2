#pragma once

#include "PageJob.h"

// Factory reset of every device. The answers are not looked at: the reset
// changes no field that the table shows until the next search.
class FactoryResetJob : public PageJob
{
    Q_OBJECT

public:
    FactoryResetJob(QWidget* parent, ProtocolClient* sdk);

    void run() override;
};
