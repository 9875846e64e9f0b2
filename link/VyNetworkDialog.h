#pragma once

#include "VyDialog.h"

#include <memory>

class OrvaneAdapter;
class OrvaneAdapterList;
class QComboBox;
class QLabel;
class QPushButton;

// Lets the operator pick the adapter that carries command frames; the
// choice is remembered under "network".
class VyNetworkDialog : public VyDialog
{
    Q_OBJECT
public:
    explicit VyNetworkDialog(QWidget* parent = nullptr);
    ~VyNetworkDialog() override;

    // Takes the list over and preselects the adapter the choose rule gives.
    void setList(std::unique_ptr<OrvaneAdapterList> list);
    const OrvaneAdapter* selectedAdapter() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void onClickOkButton(bool checked);
    void onComoBoxIndexChanged(int index);

private:
    QLabel* m_label;
    QComboBox* m_comboBox;
    QPushButton* m_okButton;
    std::unique_ptr<OrvaneAdapterList> m_list;
};
