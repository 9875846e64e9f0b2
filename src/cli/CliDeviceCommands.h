#pragma once

#include <QStringList>
#include <QTextStream>

namespace orvane {

// orvane-cli adapters
int cliAdapters(const QStringList& args, QTextStream& out, QTextStream& err);
// orvane-cli search
int cliSearch(const QStringList& args, QTextStream& out, QTextStream& err);
// One device operation (set-ip, set-name, ..., rtp-set) addressed with --device or --all.
int cliDeviceCommand(const QString& command, const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace orvane
