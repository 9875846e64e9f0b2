#pragma once

#include "DeviceResult.h"
#include "Dialog.h"

#include <QList>

class QTreeWidget;

namespace orvane {

class DeviceRecord;

// What a job did to each device, one line each (name, MAC, outcome in plain
// words), with "Retry failed" when some device did not take it.
class ResultListDialog : public Dialog
{
    Q_OBJECT

public:
    // exec() returns this when the operator wants the failed devices tried again.
    static constexpr int Retry = 2;

    ResultListDialog(QWidget* parent, const QString& title, const QList<DeviceResult>& results);

    // The line the list shows for a result: outcome, then the detail in brackets.
    static QString outcomeLine(const DeviceResult& result);
    static QString translatedDetail(const QString& detail);

private:
    QTreeWidget* m_list;
};

// Asks before a job that acts on many devices or destroys settings: the count,
// the first few names, and, when no row is ticked, that every listed device is meant.
bool confirmDeviceJob(QWidget* parent, const QString& title, const QList<DeviceRecord*>& devices,
                      bool wholeTable);

} // namespace orvane
