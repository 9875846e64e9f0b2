#pragma once

#include <QMap>
#include <QString>

namespace orvane {

// Process-wide language table: English text -> translated text. Loaded once at
// start-up, read from any thread afterwards.
class Language
{
public:
    // Beyond these a file is refused whole, with a message.
    static constexpr qint64 MaxFileBytes = 1024 * 1024;
    static constexpr int MaxLineBytes = 4096;

    static void setDirectory(const QString& directory);
    static QString directory();
    static bool load(const QString& name);
    static QString currentFile();
    static QString translate(const QString& text);
    static const QMap<QString, QString>& table();

    // Key and value trimming of one side of a language line.
    static QString trimPart(const QString& part);

private:
    static void refuse(const QString& path, const QString& why);
};

inline QString translated(const char* text)
{
    return Language::translate(QString::fromUtf8(text));
}
inline QString translated(const QString& text)
{
    return Language::translate(text);
}

} // namespace orvane
