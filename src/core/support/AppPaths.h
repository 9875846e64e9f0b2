#pragma once

#include <QObject>
#include <QString>

class AppPaths : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The per-user directory that holds configure.ini; created when missing.
    static QString configureDirectory();
};
