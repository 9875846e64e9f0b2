#include "VolumePage.h"

#include "DeviceRecord.h"
#include "DeviceTasks.h"
#include "Language.h"
#include "PixmapButton.h"

#include <QCheckBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>

namespace orvane {

namespace {

const char InputName[] = "Input Volume";
const char OutputName[] = "Output Volume";
const QString MicVolumeKey = QStringLiteral("micVolume");
const QString OutVolumeKey = QStringLiteral("outVolume");
const QString MicRememberedKey = QStringLiteral("micVolume2");
const QString OutRememberedKey = QStringLiteral("outVolume2");

const char SliderStyle[] =
    "QSlider::handle:horizontal{width:12px;background-color:rgb(128,89,207);margin:-5px 0px -5px "
    "0px;border-radius:6px;}QSlider::groove:horizontal{height:2px;background-color:rgb(128,89,207);}QSlider::"
    "add-page:horizontal{background-color:rgb(128,89,207);}QSlider::sub-page:horizontal{background-color:rgb("
    "128,89,207);}";

QSlider* makeSlider(QWidget* parent, const char* name)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(QLatin1String(name));
    slider->setRange(0, VolumePage::MaxVolume);
    slider->setStyleSheet(QLatin1String(SliderStyle));
    return slider;
}

PixmapButton* makeMuteButton(QWidget* parent, const char* name)
{
    auto* button = new PixmapButton(parent);
    button->setObjectName(QLatin1String(name));
    const int width = VolumePage::IconWidth;
    button->setPixmaps(
        QPixmap(QStringLiteral(":/resources/volume.png")).scaledToWidth(width, Qt::SmoothTransformation),
        QPixmap(QStringLiteral(":/resources/volume_mute.png"))
            .scaledToWidth(width, Qt::SmoothTransformation));
    return button;
}

} // namespace

VolumePage::VolumePage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model)
    : SettingsPage(parent, client, model), m_titleLabel(new QLabel(this)),
      m_testButton(new QPushButton(translated("Audio test"), this)), m_inputLabel(new QLabel(this)),
      m_microphoneButton(makeMuteButton(this, "microphoneButton")),
      m_inputSlider(makeSlider(this, "inputSlider")), m_outputLabel(new QLabel(this)),
      m_audioButton(makeMuteButton(this, "audioButton")), m_outputSlider(makeSlider(this, "outputSlider")),
      m_autoMuteLabel(new QLabel(QStringLiteral("%1 : ").arg(translated("Auto Mutex")), this)),
      m_autoMuteBox(new QCheckBox(this)), m_setButton(new QPushButton(translated("Set"), this)),
      m_setAllButton(new QPushButton(translated("Set All"), this))
{
    setObjectName(QStringLiteral("audioPage"));
    m_titleLabel->setObjectName(QStringLiteral("deviceLabel"));
    m_testButton->setObjectName(QStringLiteral("testButton"));
    m_inputLabel->setObjectName(QStringLiteral("inputLabel"));
    m_outputLabel->setObjectName(QStringLiteral("outputLabel"));
    m_autoMuteBox->setObjectName(QStringLiteral("autoMuteBox"));
    m_setButton->setObjectName(QStringLiteral("setButton"));
    m_setAllButton->setObjectName(QStringLiteral("setAllButton"));
    connect(m_testButton, &QPushButton::clicked, this, &VolumePage::onClickPlayAudioButton);
    connect(m_microphoneButton, &PixmapButton::clicked, this,
            &VolumePage::onClickMicrophoneButton);
    connect(m_audioButton, &PixmapButton::clicked, this, &VolumePage::onClickAudioButton);
    connect(m_inputSlider, &QSlider::valueChanged, this,
            &VolumePage::onMicrophoneSliderValueChanged);
    connect(m_outputSlider, &QSlider::valueChanged, this,
            &VolumePage::onAudioSliderValueChanged);
    connect(m_setButton, &QPushButton::clicked, this, &VolumePage::onClickSetButton);
    connect(m_setAllButton, &QPushButton::clicked, this, &VolumePage::onClickSetAllButton);
    showDevice(nullptr);
}

void VolumePage::showValue(QLabel* label, PixmapButton* button, const char* name, int value)
{
    label->setText(QStringLiteral("%1 : %2").arg(translated(name)).arg(value));
    button->setAlternate(value == 0);
}

void VolumePage::showDevice(DeviceRecord* device)
{
    int input = 0;
    int output = 0;
    if (device) {
        m_titleLabel->setText(
            QStringLiteral("%1 %2-%3").arg(translated("Current Device"), device->name(), device->uid()));
        input = device->intValue(MicVolumeKey);
        output = device->intValue(OutVolumeKey);
        m_autoMuteBox->setChecked(device->autoMute() != 0);
    } else {
        m_titleLabel->clear();
    }
    // The labels are set here too: a slider already at the value emits nothing.
    showValue(m_inputLabel, m_microphoneButton, InputName, input);
    showValue(m_outputLabel, m_audioButton, OutputName, output);
    m_inputSlider->setValue(input);
    m_outputSlider->setValue(output);
}

void VolumePage::onMicrophoneSliderValueChanged(int value)
{
    showValue(m_inputLabel, m_microphoneButton, InputName, value);
}

void VolumePage::onAudioSliderValueChanged(int value)
{
    showValue(m_outputLabel, m_audioButton, OutputName, value);
}

void VolumePage::toggleMute(QSlider* slider, const QString& key)
{
    DeviceRecord* device = currentDevice();
    if (!device)
        return;
    if (slider->value() != 0) {
        device->setIntValue(key, slider->value());
        slider->setValue(0);
    } else {
        slider->setValue(device->intValue(key));
    }
}

void VolumePage::onClickMicrophoneButton()
{
    toggleMute(m_inputSlider, MicRememberedKey);
}

void VolumePage::onClickAudioButton()
{
    toggleMute(m_outputSlider, OutRememberedKey);
}

void VolumePage::onClickPlayAudioButton(bool)
{
    if (currentDevice())
        runTask(DeviceTasks::playTestSound(), {currentDevice()}, false);
}

void VolumePage::onClickSetButton(bool)
{
    if (!currentDevice())
        return;
    runVolume({currentDevice()}, false);
}

void VolumePage::onClickSetAllButton(bool)
{
    runVolume(targetDevices(), true);
}

void VolumePage::runVolume(const QList<DeviceRecord*>& devices, bool setAll)
{
    runTask(DeviceTasks::setVolume(m_inputSlider->value(), m_outputSlider->value(), m_autoMuteBox->isChecked() ? 1 : 0),
            devices, setAll);
}

void VolumePage::resizeEvent(QResizeEvent* event)
{
    SettingsPage::resizeEvent(event);
    m_titleLabel->setGeometry(10, 10, width() - 20, 20);
    m_testButton->setGeometry(10, 40, 120, 30);
    m_inputLabel->setGeometry(10, 80, 150, 30);
    m_microphoneButton->setGeometry(160, 80, 30, 30);
    m_inputSlider->setGeometry(195, 80, 200, 30);
    m_outputLabel->setGeometry(10, 120, 150, 30);
    m_audioButton->setGeometry(160, 120, 30, 30);
    m_outputSlider->setGeometry(195, 120, 200, 30);
    m_autoMuteLabel->setGeometry(10, 160, 150, 30);
    m_autoMuteBox->setGeometry(160, 160, 30, 30);
    m_setButton->setGeometry(100, 200, 100, 30);
    m_setAllButton->setGeometry(400, 200, 100, 30);
}

} // namespace orvane
