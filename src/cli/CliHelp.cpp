#include "CliHelp.h"

#include <QRegularExpression>
#include <QVector>

namespace orvane {

namespace {

struct Command
{
    const char* name;
    const char* synopsis;
    const char* text; // what it does and its own options, indented by two
};

// Options every device command shares, said once at the end of each page.
const char DeviceOptions[] =
    "  --device MAC     a device's MAC; repeat it or separate MACs with commas. The search\n"
    "                   ends as soon as every device named has answered.\n"
    "  --all            every device the search finds (the search runs its full time)\n"
    "  --adapter NAME   the interface; else the one the program remembers, else its choice\n"
    "  --timeout MS     search time (default 2000)\n"
    "  --any-model      also act on devices of other models\n"
    "  --format FORMAT  table or json\n";

const char SecretNote[] =
    "  A password given as - is read from the first line of standard input, and one in a\n"
    "  file from the file's first line: arguments are visible to every user in ps.\n";

const Command Commands[] = {
    {"adapters", "[--format table|json|csv]",
     "  The Ethernet adapters that can carry the frames; * marks the one used by default.\n"},
    {"search", "[--adapter NAME] [--timeout MS] [--alarm-test] [--any-model] [--format table|json|csv]",
     "  The devices that answer a search, in MAC order.\n"
     "  --alarm-test     ask the devices for their alarm test as they answer\n"},
    {"set-ip", "(--device MAC... | --all) (--dhcp | --ip A [--gateway G] [--netmask M] [--dns1 D] [--dns2 D])",
     "  Switches to DHCP or sets static addresses. Fields not given keep each device's values;\n"
     "  a batch counts up from A inside its subnet. An address already in use stops the batch.\n"
     "  --skip-conflicts leave out the devices whose address another host holds\n"
     "  (a static address is checked against every device, so the search runs its full time)\n"},
    {"set-name", "(--device MAC... | --all) NAME",
     "  Names the devices. In a batch {n} numbers them: {n}, {n:START}, {n:START:WIDTH}.\n"},
    {"set-mac", "(--device MAC... | --all) NEWMAC",
     "  Gives the devices NEWMAC and the MACs after it, in MAC order (the search runs its\n"
     "  full time, so that no MAC another device holds is given out).\n"},
    {"set-account", "(--device MAC... | --all) ACCOUNT (PASSWORD | - | --password-file FILE)",
     "  The web interface's account; the password goes out as its MD5 digest.\n"},
    {"reset", "(--device MAC... | --all)", "  Factory reset.\n"},
    {"reboot", "(--device MAC... | --all)", "  Restarts the devices.\n"},
    {"play", "(--device MAC... | --all)", "  Plays the test sound.\n"},
    {"volume", "(--device MAC... | --all) [--mic 0-100] [--out 0-100] [--auto-mute 0|1]",
     "  Input and output volume and auto mute; values not given stay as they are.\n"},
    {"sip-get", "(--device MAC... | --all)", "  Reads both SIP accounts.\n"},
    {"sip-set",
     "(--device MAC... | --all) [--account1 A] [--password1 P|-] [--password1-file FILE]\n"
     "                [--display-name1 N] [--server-host1 H] [--server-port1 P] [... the same with 2]",
     "  Sets the SIP accounts; fields not given keep the device's values. The second account:\n"
     "  --account2 --password2 --password2-file --display-name2 --server-host2 --server-port2\n"},
    {"rtp-get", "(--device MAC... | --all)", "  Reads the ten RTP channels.\n"},
    {"rtp-set", "(--device MAC... | --all) [--channel N=ADDRESS:PORT]... [--clear N]...",
     "  Sets or clears RTP channels, N from 1 to 10; the others stay as they are.\n"},
    {"firmware", "(--device MAC... | --all) [--http-timeout MS] FILE",
     "  Logs in to each device's web interface and uploads FILE, up to ten at a time.\n"
     "  --http-timeout MS how long a silent device is waited for (default 10000 for the\n"
     "                   login and 120000 for the upload)\n"},
    {"export", "[--full] [--with-secrets] [--format csv|json]",
     "  The devices found, one row each, in the shape apply reads.\n"
     "  --full           also read SIP accounts and RTP channels\n"
     "  --with-secrets   include passwords\n"},
    {"apply", "PLAN|- [--check] [--diff] [--format table|json]",
     "  Brings the devices a CSV or JSON plan names (keyed by mac) to its values, sending\n"
     "  only what differs.\n"
     "  --check          read and report; send nothing\n"
     "  --diff           show old and new values (passwords as ***)\n"},
    {"broadcast", "--to GROUP:PORT [--adapter NAME] [--ttl 1-255] [--duration SECONDS] [--sdp FILE]\n"
                  "                (FILE... | --source ID)",
     "  Broadcasts MP3 files as a looping play list, or a live sound source, over RTP\n"
     "  multicast until SIGINT or SIGTERM or the duration ends.\n"},
    {"sources", "[--format table|json]", "  The sound sources a live broadcast can take.\n"},
};

bool takesDevices(const QString& name)
{
    static const QStringList withoutDevices{QStringLiteral("adapters"), QStringLiteral("search"),
                                            QStringLiteral("export"), QStringLiteral("apply"),
                                            QStringLiteral("broadcast"), QStringLiteral("sources")};
    return !withoutDevices.contains(name);
}

const Command* find(const QString& name)
{
    for (const Command& c : Commands) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

int distance(const QString& a, const QString& b)
{
    QVector<int> row(b.size() + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = qMin(qMin(row[j] + 1, row[j - 1] + 1), diagonal + (a.at(i - 1) == b.at(j - 1) ? 0 : 1));
            diagonal = above;
        }
    }
    return row[b.size()];
}

} // namespace

QStringList cliCommandNames()
{
    QStringList names;
    for (const Command& c : Commands)
        names << QLatin1String(c.name);
    return names;
}

QString cliUsage()
{
    QString text = QStringLiteral("usage: orvane-cli [--verbose] COMMAND [OPTIONS]\n"
                                  "       orvane-cli COMMAND --help\n       orvane-cli --help | --version\n\n");
    for (const Command& c : Commands)
        text += QStringLiteral("  %1 %2\n").arg(QLatin1String(c.name), QLatin1String(c.synopsis));
    text += QStringLiteral(
        "\nDevice commands handle their devices one after another in MAC order, each on its own line,\n"
        "and also take --adapter, --timeout (search time) and --format table|json.\n"
        "--verbose shows the library's messages (every frame) on standard error.\n\n"
        "Exit status: 0 success, 1 a device failed or did not answer, 2 bad usage, an unknown device\n"
        "or no usable adapter, 3 no permission to capture raw frames (the message gives the command\n"
        "that grants it).\n");
    return text;
}

QString cliCommandHelp(const QString& command)
{
    const Command* c = find(command);
    if (!c)
        return QString();
    QString text = QStringLiteral("usage: orvane-cli %1 %2\n\n%3")
                       .arg(QLatin1String(c->name), QLatin1String(c->synopsis), QLatin1String(c->text));
    if (takesDevices(command))
        text += QLatin1String(DeviceOptions);
    if (command == QLatin1String("set-account") || command == QLatin1String("sip-set"))
        text += QLatin1String(SecretNote);
    return text;
}

QStringList cliOptionNames(const QString& command)
{
    static const QRegularExpression option(QStringLiteral("--[a-z0-9-]*[a-z0-9]"));
    QStringList names{QStringLiteral("--help")};
    auto it = option.globalMatch(cliCommandHelp(command));
    while (it.hasNext()) {
        const QString name = it.next().captured();
        if (!names.contains(name))
            names << name;
    }
    return names;
}

QString cliDidYouMean(const QString& typed, const QStringList& candidates)
{
    QString best;
    int bestDistance = 0;
    for (const QString& c : candidates) {
        const int d = distance(typed, c);
        if (best.isEmpty() || d < bestDistance) {
            best = c;
            bestDistance = d;
        }
    }
    // Near means a slip of the fingers, not another word.
    if (best.isEmpty() || bestDistance > qMax(1, qMin(3, typed.size() / 3)))
        return QString();
    return QStringLiteral(" (did you mean %1?)").arg(best);
}

} // namespace orvane
