#include "CliBroadcast.h"

int cliBroadcast(const QStringList&, QTextStream&, QTextStream& err)
{
    err << "orvane-cli: broadcast is not available in this build\n";
    return 2;
}
