#pragma once

#include <QMetaType>
#include <QString>

namespace orvane {

// What one job did to one device, in words an operator can act on. Shared by
// the settings jobs and the firmware job, so that both front ends report alike.
struct DeviceResult
{
    enum class Outcome
    {
        Success,
        Failed,    // the device answered that it did not take it
        NoAnswer,  // nothing came back in time
        NotSent,   // refused before anything went out
        Cancelled, // the operator stopped the job first
    };

    QString name;
    QString mac;
    Outcome outcome = Outcome::Cancelled;
    QString detail; // a few plain words, or empty
    int index = -1; // the device's place in the list the operator gave

    bool succeeded() const { return outcome == Outcome::Success; }
    // "ok", "failed", "no answer", "not sent", "cancelled": English, the program translates them.
    static QString outcomeText(Outcome outcome);
};

} // namespace orvane

Q_DECLARE_METATYPE(orvane::DeviceResult)
