#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace orvane {

// orvane-cli firmware FILE (--device MAC... | --all): the version page's
// firmware job, with one result line per device.
int cliFirmware(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace orvane
