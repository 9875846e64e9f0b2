#pragma once

#include <QStringList>
#include <QTextStream>

namespace orvane {

// orvane-cli export: the inventory as CSV or JSON, the same shape apply reads.
int cliExport(const QStringList& args, QTextStream& out, QTextStream& err);
// orvane-cli apply PLAN: brings the devices a plan names to its values.
int cliApply(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace orvane
