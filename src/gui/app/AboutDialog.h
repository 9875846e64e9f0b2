#pragma once

#include "Dialog.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;

namespace orvane {

// Version and build date, and the settings the operator may change here: the
// language (used from the next start), the alarm test of searches and how
// long a search listens for answers.
class AboutDialog : public Dialog
{
    Q_OBJECT

public:
    static constexpr const char* SystemVersion = "1.2.5-beta";
    static constexpr const char* BuildDate = "20230327";

    explicit AboutDialog(QWidget* parent = nullptr);

    QComboBox* languageComboBox() const { return m_languageComboBox; }
    QCheckBox* alarmTestCheckBox() const { return m_alarmTestCheckBox; }
    QDoubleSpinBox* searchTimeSpinBox() const { return m_searchTimeSpinBox; }

public slots:
    void onLanguageComboBoxIndexChanged(int index);
    void onAlarmTestChanged(bool checked);
    void onSearchTimeChanged(double seconds);

private:
    QLabel* m_versionLabel;
    QLabel* m_versionValue;
    QLabel* m_dateLabel;
    QLabel* m_dateValue;
    QLabel* m_languageLabel;
    QComboBox* m_languageComboBox;
    QLabel* m_alarmTestLabel;
    QCheckBox* m_alarmTestCheckBox;
    QDoubleSpinBox* m_searchTimeSpinBox;
};

} // namespace orvane
