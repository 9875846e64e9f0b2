#pragma once

#include "AudioEndpoints.h"

#include <QFrame>

class QButtonGroup;
class QVBoxLayout;

namespace orvane {

// The endpoint chooser of the broadcast dialog: one radio button per
// endpoint and a last one, "None".
class AudioSourceSelector : public QFrame
{
    Q_OBJECT
public:
    explicit AudioSourceSelector(QWidget* parent = nullptr);

    // Lists the endpoints and checks the one whose id is rememberedId, else "None".
    void setDevices(const QList<AudioEndpoint>& devices, const QString& rememberedId);
    QList<AudioEndpoint> devices() const { return m_devices; }
    int selectedIndex() const { return m_selected; }
    // The chosen endpoint; an empty record for "None" or nothing.
    AudioEndpoint selectedDevice() const;
    QButtonGroup* buttons() const { return m_group; }

public slots:
    void onButtonClicked(int index);

private:
    QList<AudioEndpoint> m_devices;
    int m_selected = -1;
    QVBoxLayout* m_layout;
    QButtonGroup* m_group = nullptr;
};

} // namespace orvane
