#pragma once

// The program's main window on the near end of a namespace pair, as a
// technician would start it on a LAN of emulated devices. Header-only; the
// including target links orvane_widgets and defines ORVANE_EMULATOR_PATH.

#include "EmulatedSegment.h"
#include "MainWindow.h"
#include "DeviceTableModel.h"

#include <memory>

namespace orvane {

// Builds the window inside the near namespace, so that the adapter it finds
// is the near veth end and its capture threads live there.
inline std::unique_ptr<MainWindow> openMainWindow(const NetNamespacePair& pair)
{
    NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
    if (!scope.ok())
        return nullptr;
    return std::make_unique<MainWindow>();
}

inline QStringList tableColumn(const MainWindow& window, int column)
{
    QStringList out;
    const DeviceTableModel* model = window.model();
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->index(row, column).data().toString();
    return out;
}

} // namespace orvane
