#pragma once

#include "PageJob.h"

// Reboots every device. The answers are not looked at: a device may well go
// down before its reply leaves, and no record field changes.
class RebootJob : public PageJob
{
    Q_OBJECT

public:
    RebootJob(QWidget* parent, ProtocolClient* sdk);

    void run() override;
};
