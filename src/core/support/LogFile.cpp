#include "LogFile.h"

#include <QDebug>
#include <QFile>
#include <QMutex>
#include <cstdio>
#include <cstring>

namespace orvane {

namespace {
// Guards the FILE pointer against open and close while other threads write.
QMutex g_logMutex;
FILE* g_logFile = nullptr;
} // namespace

bool LogFile::open(const QString& path)
{
    QMutexLocker lock(&g_logMutex);
    if (g_logFile) {
        fclose(g_logFile);
        g_logFile = nullptr;
    }
    g_logFile = fopen(QFile::encodeName(path).constData(), "w+");
    return g_logFile != nullptr;
}

void LogFile::close()
{
    QMutexLocker lock(&g_logMutex);
    if (g_logFile) {
        fclose(g_logFile);
        g_logFile = nullptr;
    }
}

bool LogFile::isOpen()
{
    QMutexLocker lock(&g_logMutex);
    return g_logFile != nullptr;
}

int LogFile::formatLine(char* buffer, size_t size, const QDateTime& now, const char* file, const char* function,
                      int line, int level, const char* format, va_list args)
{
    if (level < MinimumLevel || size == 0)
        return -1;
    memset(buffer, 0, size);
    const char* base = file ? strrchr(file, '/') : nullptr;
    base = base ? base + 1 : (file ? file : "");
    const QDate d = now.date();
    const QTime t = now.time();
    int n = snprintf(buffer, size, "[%d-%02d-%02d %02d:%02d:%02d.%03d]  %s:%d(%s) ", d.year(), d.month(), d.day(),
                     t.hour(), t.minute(), t.second(), t.msec(), base, line, function ? function : "");
    if (n < 0)
        n = 0;
    if (static_cast<size_t>(n) >= size)
        return static_cast<int>(size - 1);
    vsnprintf(buffer + n, size - n, format, args);
    return static_cast<int>(strlen(buffer));
}

void LogFile::write(const char* file, const char* function, int line, int level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    writeV(file, function, line, level, format, args);
    va_end(args);
}

void LogFile::writeV(const char* file, const char* function, int line, int level, const char* format, va_list args)
{
    char buffer[LineBufferSize];
    const int length =
        formatLine(buffer, sizeof buffer, QDateTime::currentDateTime(), file, function, line, level, format, args);
    if (length < 0)
        return;
    {
        QMutexLocker lock(&g_logMutex);
        if (g_logFile) {
            fwrite(buffer, 1, static_cast<size_t>(length), g_logFile);
            fflush(g_logFile);
        }
    }
    qDebug("%s", buffer);
}

} // namespace orvane
