#pragma once

#include "Dialog.h"

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;

namespace orvane {

class Adapter;
class AdapterList;

// Lets the operator pick the adapter that carries command frames; the
// choice is remembered under "network".
class AdapterDialog : public Dialog
{
    Q_OBJECT
public:
    explicit AdapterDialog(QWidget* parent = nullptr);
    ~AdapterDialog() override;

    // Takes the list over and preselects the adapter the choose rule gives.
    void setList(std::unique_ptr<AdapterList> list);
    const Adapter* selectedAdapter() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void onClickOkButton(bool checked);
    void onComoBoxIndexChanged(int index);

private:
    QLabel* m_label;
    QComboBox* m_comboBox;
    QPushButton* m_okButton;
    std::unique_ptr<AdapterList> m_list;
};

} // namespace orvane
