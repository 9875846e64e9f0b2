#pragma once

#include <QStringList>
#include <QTextStream>

// orvane-cli broadcast
int cliBroadcast(const QStringList& args, QTextStream& out, QTextStream& err);
