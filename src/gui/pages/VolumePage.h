#pragma once

#include "SettingsPage.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace orvane {

class PixmapButton;

// Input and output volume and auto-mute of the current device or of the
// target devices, and the device's test sound. The mute buttons only move the
// sliders; nothing reaches a device before "Set".
class VolumePage : public SettingsPage
{
    Q_OBJECT

public:
    static constexpr int MaxVolume = 100;
    static constexpr int IconWidth = 20;

    VolumePage(QWidget* parent, ProtocolClient* client, DeviceTableModel* model);

    void showDevice(DeviceRecord* device) override;

protected slots:
    void onClickSetButton(bool checked) override;
    void onClickSetAllButton(bool checked) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void onClickPlayAudioButton(bool checked);
    void onClickMicrophoneButton();
    void onClickAudioButton();
    void onMicrophoneSliderValueChanged(int value);
    void onAudioSliderValueChanged(int value);

private:
    void runVolume(const QList<DeviceRecord*>& devices, bool setAll);
    // Mutes a slider, remembering its value under key, or brings the remembered value back.
    void toggleMute(QSlider* slider, const QString& key);
    void showValue(QLabel* label, PixmapButton* button, const char* name, int value);

    QLabel* m_titleLabel;
    QPushButton* m_testButton;
    QLabel* m_inputLabel;
    PixmapButton* m_microphoneButton;
    QSlider* m_inputSlider;
    QLabel* m_outputLabel;
    PixmapButton* m_audioButton;
    QSlider* m_outputSlider;
    QLabel* m_autoMuteLabel;
    QCheckBox* m_autoMuteBox;
    QPushButton* m_setButton;
    QPushButton* m_setAllButton;
};

} // namespace orvane
