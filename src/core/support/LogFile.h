#pragma once

#include <QDateTime>
#include <QString>
#include <cstdarg>
#include <cstddef>

namespace orvane {

// Process-wide log writer: dated lines to the log file and to the debug output.
class LogFile
{
public:
    static constexpr int MinimumLevel = 2;
    static constexpr int LineBufferSize = 4096;

    static bool open(const QString& path);
    static void close();
    static bool isOpen();

    static void write(const char* file, const char* function, int line, int level, const char* format, ...)
        __attribute__((format(printf, 5, 6)));
    static void writeV(const char* file, const char* function, int line, int level, const char* format,
                       va_list args);

    // Formats one line into buffer (zero-terminated, cut at its end) and returns its length;
    // -1 when the level is filtered out.
    static int formatLine(char* buffer, size_t size, const QDateTime& now, const char* file,
                          const char* function, int line, int level, const char* format, va_list args);
};

#define ORVANE_LOG(...) LogFile::write(__FILE__, __FUNCTION__, __LINE__, 5, __VA_ARGS__)

} // namespace orvane
