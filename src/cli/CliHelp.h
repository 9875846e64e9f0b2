#pragma once

#include <QString>
#include <QStringList>

namespace orvane {

// The one place orvane-cli's help is written: the overview, each command's
// own page and the option names a typo is matched against all come from it.

// Every command, in the order the overview lists them.
QStringList cliCommandNames();
// orvane-cli --help: every command's synopsis, the shared options and the exit statuses.
QString cliUsage();
// orvane-cli COMMAND --help; empty for a command that does not exist.
QString cliCommandHelp(const QString& command);
// The options COMMAND takes, as written ("--device"), read from its help.
QStringList cliOptionNames(const QString& command);
// " (did you mean X?)" for the candidate nearest to typed, or empty when none is near.
QString cliDidYouMean(const QString& typed, const QStringList& candidates);

} // namespace orvane
