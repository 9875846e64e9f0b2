#pragma once

#include "DeviceResult.h"
#include "PageJob.h"

#include <QMutex>
#include <QStringList>
#include <memory>

class FirmwareJob;

// Uploads one firmware file to every device over its web interface, up to
// ten at a time, and keeps how each device fared for the operator.
class SetVersionInfoJob : public PageJob
{
    Q_OBJECT

public:
    SetVersionInfoJob(QWidget* parent, ProtocolClient* client);
    ~SetVersionInfoJob() override;

    void setLists(const QList<DeviceRecord*>& devices, const QString& file);
    void run() override;
    void abortWork() override;

    // One line per device once the job has ended, whether by itself or closed:
    // "<mac> <ip>: <outcome>", the outcome in the operator's language.
    QStringList resultLines() const;
    // The same for the result list, the details in the operator's language.
    QList<DeviceResult> deviceResults() const;

    // line with its English outcome (as the job writes it to the log) translated.
    static QString translatedLine(const QString& line);

private:
    QString m_file;
    mutable QMutex m_mutex; // guards m_job: abortWork() comes from the user-interface thread
    std::unique_ptr<FirmwareJob> m_job;
};
