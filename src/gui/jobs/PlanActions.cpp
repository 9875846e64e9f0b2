#include "PlanActions.h"

#include "AppConfig.h"
#include "DeviceJob.h"
#include "DeviceRecord.h"
#include "JobDialog.h"
#include "Language.h"
#include "PlanApply.h"
#include "PlanPreviewDialog.h"
#include "ProvisioningPlan.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMutex>
#include <QStandardPaths>

namespace orvane {

namespace {

QString lastFolder()
{
    const QString folder = AppConfig().planFolder();
    return folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) : folder;
}

void rememberFolder(const QString& file)
{
    AppConfig().setPlanFolder(QFileInfo(file).absolutePath());
}

void warn(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

void PlanActions::exportDevices(QWidget* parent, const QList<DeviceRecord*>& devices)
{
    QString filter = translated("CSV (*.csv)");
    const QString path = QFileDialog::getSaveFileName(parent, translated("Export"), lastFolder() + QStringLiteral("/devices.csv"),
                                                      translated("CSV (*.csv)") + QStringLiteral(";;") + translated("JSON (*.json)"),
                                                      &filter);
    if (path.isEmpty())
        return;
    const QStringList columns = ProvisioningPlan::exportColumns(false, false);
    QList<QMap<QString, QString>> rows;
    for (const DeviceRecord* d : devices)
        rows << ProvisioningPlan::currentValues(*d, nullptr, nullptr, false);
    const bool json = path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive);
    const QByteArray data = json ? ProvisioningPlan::toJson(columns, rows) : ProvisioningPlan::toCsv(columns, rows);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size() || !file.flush()) {
        warn(parent, translated("Export"), translated("%1 could not be written: %2").arg(path, file.errorString()));
        return;
    }
    // Only a folder that took the file is worth opening next time.
    rememberFolder(path);
}

void PlanActions::applyPlan(QWidget* parent, ProtocolClient& client, const QList<DeviceRecord*>& listed,
                            const std::function<void()>& refresh)
{
    const QString path = QFileDialog::getOpenFileName(parent, translated("Apply plan"), lastFolder(),
                                                      translated("Plans (*.csv *.json)"));
    if (path.isEmpty())
        return;
    rememberFolder(path);
    applyPlanFile(parent, client, path, listed, refresh);
}

void PlanActions::applyPlanFile(QWidget* parent, ProtocolClient& client, const QString& path,
                                const QList<DeviceRecord*>& listed, const std::function<void()>& refresh)
{
    QFile file(path);
    ProvisioningPlan plan;
    QStringList errors;
    if (!file.open(QIODevice::ReadOnly))
        errors << file.errorString();
    else
        plan.parse(file.readAll(), &errors);
    PlanApply apply(client, plan, listed);
    if (errors.isEmpty())
        errors = apply.check();
    if (!errors.isEmpty()) {
        warn(parent, translated("Apply plan"),
             translated("The plan was not applied; nothing was sent.") + QStringLiteral("\n\n") + errors.join(QLatin1Char('\n')));
        return;
    }

    // Reading what each device has now takes the network: a job like any other, with Cancel.
    QList<DeviceRecord*> named;
    for (const ProvisioningPlan::Row& row : plan.rows()) {
        if (DeviceRecord* d = apply.deviceFor(row))
            named << d;
    }
    QMutex lock; // guards read against the job's worker
    QMap<QString, PlanApply::Result> read;
    const DeviceJob::Task reading{QStringLiteral("Reading"), [&](ProtocolClient&, DeviceRecord* device, int) {
                                      const PlanApply::Result r = apply.applyTo(*apply.rowFor(device), device, true);
                                      QMutexLocker hold(&lock);
                                      read.insert(r.mac, r);
                                      return r.outcome == PlanApply::Outcome::Failed ? -1 : 0;
                                  },
                                  nullptr};
    if (!named.isEmpty()) {
        DeviceJob job(client, reading, named);
        JobDialog dialog(parent, &job);
        dialog.centerOn(parent);
        dialog.runJob();
        if (job.isCancelled())
            return;
    }
    // In the plan's order, so that the operator finds each row where the file has it.
    QList<PlanApply::Result> preview;
    for (const ProvisioningPlan::Row& row : plan.rows()) {
        if (DeviceRecord* d = apply.deviceFor(row)) {
            preview << read.value(d->mac());
        } else {
            PlanApply::Result missing;
            missing.mac = row.mac;
            missing.outcome = PlanApply::Outcome::Missing;
            missing.detail = translated("not found by the search");
            preview << missing;
        }
    }
    PlanPreviewDialog previewDialog(preview, parent);
    previewDialog.centerOn(parent);
    if (previewDialog.exec() != QDialog::Accepted)
        return;
    const QStringList ticked = previewDialog.tickedDevices();
    QList<DeviceRecord*> targets;
    for (DeviceRecord* d : named)
        for (const QString& mac : ticked)
            if (d->mac() == mac)
                targets << d;
    const DeviceJob::Task write{QStringLiteral("Applying plan"), [&](ProtocolClient&, DeviceRecord* device, int) {
                                    return apply.applyTo(*apply.rowFor(device), device, false).outcome ==
                                                   PlanApply::Outcome::Failed
                                               ? -1
                                               : 0;
                                },
                                nullptr};
    runDeviceJob(parent, client, write, targets, refresh);
}

} // namespace orvane
