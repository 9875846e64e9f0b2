#pragma once

#include <QObject>
#include <QString>

class VyFileUtils : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The per-user directory that holds configure.ini; created when missing.
    static QString configureDirectory();
};
