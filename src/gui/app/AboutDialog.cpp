#include "AboutDialog.h"

#include "AlertDialog.h"
#include "AppConfig.h"
#include "Language.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

namespace {

QLabel* makeLabel(const char* word, QWidget* parent)
{
    auto* label = new QLabel(QStringLiteral("%1 : ").arg(vyTr(word)), parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLabel* makeValue(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

} // namespace

AboutDialog::AboutDialog(QWidget* parent)
    : Dialog(parent), m_versionLabel(makeLabel("System Version", this)),
      m_versionValue(makeValue(QLatin1String(SystemVersion), this)), m_dateLabel(makeLabel("Build Date", this)),
      m_dateValue(makeValue(QLatin1String(BuildDate), this)), m_languageLabel(makeLabel("Language", this)),
      m_languageComboBox(new QComboBox(this)), m_alarmTestLabel(makeLabel("Alarm Test", this)),
      m_alarmTestCheckBox(new QCheckBox(this))
{
    setObjectName(QStringLiteral("aboutDialog"));
    m_languageComboBox->addItem(vyTr("English"));
    m_languageComboBox->addItem(vyTr("Simple Chinese"));
    {
        AppConfig configure;
        m_languageComboBox->setCurrentIndex(
            configure.language().compare(QLatin1String("cn"), Qt::CaseInsensitive) == 0 ? 1 : 0);
        m_alarmTestCheckBox->setChecked(configure.alarmTest() != 0);
    }
    // Connected after the stored values are shown, so that showing them stores nothing.
    connect(m_languageComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &AboutDialog::onLanguageComboBoxIndexChanged);
    connect(m_alarmTestCheckBox, &QCheckBox::toggled, this, &AboutDialog::onAlarmTestChanged);
    resize(400, 250);
}

void AboutDialog::onLanguageComboBoxIndexChanged(int index)
{
    if (index == 0 || index == 1) {
        AppConfig configure;
        configure.setLanguage(index == 0 ? QStringLiteral("en") : QStringLiteral("cn"));
    }
    QWidget* over = parentWidget() ? parentWidget() : this;
    AlertDialog alert(over);
    alert.setObjectName(QStringLiteral("restartNotice"));
    alert.resize(350, 100);
    alert.setText(vyTr("Language settings will take effect after restart"));
    alert.centerOn(over);
    alert.exec();
}

void AboutDialog::onAlarmTestChanged(bool checked)
{
    AppConfig configure;
    configure.setAlarmTest(checked ? 1 : 0);
}

void AboutDialog::resizeEvent(QResizeEvent* event)
{
    Dialog::resizeEvent(event);
    const int half = width() / 2;
    m_versionLabel->setGeometry(0, 30, half, 30);
    m_versionValue->setGeometry(half, 30, half, 30);
    m_dateLabel->setGeometry(0, 70, half, 30);
    m_dateValue->setGeometry(half, 70, half, 30);
    m_languageLabel->setGeometry(0, 110, half, 30);
    m_languageComboBox->setGeometry(half, 115, 120, 20);
    m_alarmTestLabel->setGeometry(0, 150, half, 30);
    m_alarmTestCheckBox->setGeometry(half, 150, 30, 30);
}
