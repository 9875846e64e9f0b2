#include "Language.h"

#include "LogFile.h"

#include <QFile>
#include <QTextStream>

namespace orvane {

namespace {
QString g_directory;
QString g_currentFile;
QMap<QString, QString> g_table;
} // namespace

void Language::setDirectory(const QString& directory)
{
    g_directory = directory;
}

QString Language::directory()
{
    return g_directory;
}

QString Language::currentFile()
{
    return g_currentFile;
}

const QMap<QString, QString>& Language::table()
{
    return g_table;
}

QString Language::translate(const QString& text)
{
    auto it = g_table.constFind(text);
    return it == g_table.constEnd() ? text : it.value();
}

QString Language::trimPart(const QString& part)
{
    int begin = 0;
    int end = part.size();
    while (begin < end && part.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && (part.at(end - 1) == QLatin1Char(' ') || part.at(end - 1) == QLatin1Char(';')))
        --end;
    if (begin < end && part.at(begin) == QLatin1Char('"'))
        ++begin;
    if (end > begin && part.at(end - 1) == QLatin1Char('"'))
        --end;
    return part.mid(begin, end - begin);
}

void Language::refuse(const QString& path, const QString& why)
{
    const QString message = QStringLiteral("language file %1 not used: %2; the built-in English stands").arg(path, why);
    qWarning("%s", qPrintable(message));
    ORVANE_LOG("%s\n", message.toUtf8().constData());
}

bool Language::load(const QString& name)
{
    g_currentFile = name;
    g_table.clear();

    const QString fileName = name.endsWith(QLatin1String(".txt")) ? name : QStringLiteral("%1.txt").arg(name);
    const QString path = g_directory.endsWith(QLatin1Char('/')) ? QStringLiteral("%1%2").arg(g_directory, fileName)
                                                                : QStringLiteral("%1/%2").arg(g_directory, fileName);
    QFile file(path);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return false;

    // A language file is a few kilobytes; a huge one (or one long line) is a
    // damaged or hostile file, and reading it would keep the program from starting.
    if (file.size() > MaxFileBytes) {
        refuse(path, QStringLiteral("it is larger than %1 bytes").arg(MaxFileBytes));
        return false;
    }
    const QList<QByteArray> lines = file.read(MaxFileBytes + 1).split('\n');
    for (const QByteArray& raw : lines) {
        if (raw.size() > MaxLineBytes) {
            refuse(path, QStringLiteral("a line is longer than %1 bytes").arg(MaxLineBytes));
            return false;
        }
    }
    bool first = true;
    for (const QByteArray& raw : lines) {
        // Always UTF-8: guessing from the first bytes would read a file that
        // happens to start with FF FE as UTF-16.
        QString line = QString::fromUtf8(raw);
        if (first && line.startsWith(QChar(0xfeff)))
            line.remove(0, 1);
        first = false;
        // A file saved with Windows line ends still reads as its lines.
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            break;
        const QStringList parts = line.split(QLatin1Char('='), Qt::KeepEmptyParts);
        if (parts.size() != 2)
            continue;
        g_table.insert(trimPart(parts.at(0)), trimPart(parts.at(1)));
    }
    return true;
}

} // namespace orvane
