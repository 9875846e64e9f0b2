#pragma once

#include "OrvaneSettingDialog.h"

#include <QMutex>
#include <QStringList>
#include <memory>

class OrvaneFirmwareJob;

// Uploads one firmware file to every device over its web interface, up to
// ten at a time, and keeps how each device fared for the operator.
class OrvaneVersionSettingDialog : public OrvaneSettingDialog
{
    Q_OBJECT

public:
    OrvaneVersionSettingDialog(QWidget* parent, OrvaneSDK* sdk);
    ~OrvaneVersionSettingDialog() override;

    void setLists(const QList<OrvaneDevice*>& devices, const QString& file);
    void run() override;
    void abortWork() override;

    // One line per device once the job has ended, whether by itself or closed:
    // "<mac> <ip>: <outcome>", the outcome in the operator's language.
    QStringList resultLines() const;

    // line with its English outcome (as the job writes it to the log) translated.
    static QString translatedLine(const QString& line);

private:
    QString m_file;
    mutable QMutex m_mutex; // guards m_job: abortWork() comes from the user-interface thread
    std::unique_ptr<OrvaneFirmwareJob> m_job;
};
