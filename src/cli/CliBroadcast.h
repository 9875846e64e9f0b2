#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace orvane {

// `orvane-cli broadcast --to GROUP:PORT [--adapter NAME] [--ttl N] [--duration SECONDS] [--sdp FILE]
// FILE...`: broadcasts the files as a looping play list of MP3 audio over RTP until SIGINT/SIGTERM or the
// duration ends, printing each file as it starts. With `--source ID` instead of files it broadcasts that
// audio endpoint live. args are the arguments after "broadcast". Returns 0 on success, 1 when the broadcast
// fails (also when its packets cannot be sent), 2 for bad usage (one line on err).
int cliBroadcast(const QStringList& args, QTextStream& out, QTextStream& err);

// `orvane-cli sources [--format table|json]`: the audio endpoints a live
// broadcast can take, capture endpoints (kind 0) first, then render endpoints
// (kind 1). Returns 0, 1 when no sound server was reached, or 2 for bad usage.
int cliSources(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace orvane
