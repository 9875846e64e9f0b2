#include "AudioSourceSelector.h"

#include "Language.h"

#include <QButtonGroup>
#include <QIcon>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orvane {

AudioSourceSelector::AudioSourceSelector(QWidget* parent) : QFrame(parent), m_layout(new QVBoxLayout(this)) {}

void AudioSourceSelector::setDevices(const QList<AudioEndpoint>& devices, const QString& rememberedId)
{
    m_devices = devices;
    while (QLayoutItem* item = m_layout->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    delete m_group;
    m_group = new QButtonGroup(this);
    m_selected = -1;

    m_layout->addWidget(new QLabel(translated("Please select audio source"), this));
    for (int i = 0; i < m_devices.size(); ++i) {
        const AudioEndpoint& d = m_devices.at(i);
        // Sinks often share a description ("Null Output"); their names tell them apart.
        const QString text =
            d.name == d.id || d.id.isEmpty() ? d.name : QStringLiteral("%1 (%2)").arg(d.name, d.id);
        auto* button = new QRadioButton(text, this);
        button->setIcon(QIcon(d.kind == AudioEndpoint::Render
                                  ? QStringLiteral(":/resources/audio.png")
                                  : QStringLiteral(":/resources/microphone.png")));
        button->setToolTip(text);
        button->setCheckable(true);
        m_group->addButton(button, i);
        m_layout->addWidget(button);
        if (m_selected < 0 && !rememberedId.isEmpty() && d.id == rememberedId) {
            button->setChecked(true);
            m_selected = i;
        }
    }
    auto* none = new QRadioButton(translated("None"), this);
    none->setIcon(QIcon(QStringLiteral(":/resources/unavailable.png")));
    m_group->addButton(none, int(m_devices.size()));
    m_layout->addWidget(none);
    if (m_selected < 0) {
        none->setChecked(true);
        m_selected = int(m_devices.size());
    }
    m_layout->addStretch();
    connect(m_group, &QButtonGroup::idClicked, this, &AudioSourceSelector::onButtonClicked);
}

void AudioSourceSelector::onButtonClicked(int index)
{
    m_selected = index;
}

AudioEndpoint AudioSourceSelector::selectedDevice() const
{
    if (m_selected >= 0 && m_selected < m_devices.size())
        return m_devices.at(m_selected);
    return AudioEndpoint{};
}

} // namespace orvane
