#pragma once

#include <QList>
#include <QString>
#include <functional>

class QWidget;

namespace orvane {

class DeviceRecord;
class ProtocolClient;

// The program's side of plans: export the listed devices, and apply a plan
// file with a preview of what would change and a result per device.
namespace PlanActions {
// Asks for a file (CSV or JSON, in the folder used last) and writes the devices to it.
void exportDevices(QWidget* parent, const QList<DeviceRecord*>& devices);
// Asks for a plan file, reads the devices it names, shows what would change,
// and applies it to the devices the operator leaves ticked.
void applyPlan(QWidget* parent, ProtocolClient& client, const QList<DeviceRecord*>& listed,
               const std::function<void()>& refresh);
// The same with the plan file already chosen.
void applyPlanFile(QWidget* parent, ProtocolClient& client, const QString& path, const QList<DeviceRecord*>& listed,
                   const std::function<void()>& refresh);
} // namespace PlanActions

} // namespace orvane
