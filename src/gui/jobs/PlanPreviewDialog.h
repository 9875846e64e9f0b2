#pragma once

#include "Dialog.h"
#include "PlanApply.h"

#include <QStringList>

class QTreeWidget;

namespace orvane {

// What a plan would change, before anything is sent: one branch per device
// (ticked when it has changes), one line per field with its current and
// planned value. Passwords show as ***.
class PlanPreviewDialog : public Dialog
{
    Q_OBJECT

public:
    PlanPreviewDialog(const QList<PlanApply::Result>& preview, QWidget* parent = nullptr);

    // The MACs of the ticked devices.
    QStringList tickedDevices() const;

private:
    QTreeWidget* m_tree;
};

} // namespace orvane
