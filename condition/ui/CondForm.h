#pragma once
// The conditional command dialog: edits the status word, the two target texts and the command,
// and lets the user try the command on the second device.
#include "condition/CondSettings.h"
#include "settings/Settings.h"
#include "ui_CondForm.h"
#include <QDialog>
#include <array>

namespace bus {
class Instrument;
class Listeners;
} // namespace bus

class CondForm : public QDialog {
    Q_OBJECT
public:
    // Filled from the settings as they are now; only OK writes them back. The second device is
    // chosen from the listeners; Test sends through the main window's instrument.
    CondForm(settings::Settings& settings, const bus::Instrument& instrument,
             const bus::Listeners& listeners, QWidget* parent = nullptr);

    // Opens the dialog modally over the parent and returns once it has closed.
    static void Open(QWidget* parent, settings::Settings& settings,
                     const bus::Instrument& instrument, const bus::Listeners& listeners);

    Ui::CondForm ui;
    std::array<QGroupBox*, 2> Option_CondOption_CondOption_Cond{};
    std::array<QRadioButton*, 5> Option_Cond{};
    std::array<QLineEdit*, 2> Text_Target{};
    std::array<QComboBox*, 2> Combo_Pct{};
    std::array<QCheckBox*, 2> Check_CondSelect{};
    bool CondFormActivated = false;

    void Form_Activate();
    void Check_CondOn_Click();
    void Check_EndSeq_Click();
    void Check_SendAtEnd_Click();
    void Combo_NoOfCond_Click();
    void Combo_Pct_Click(int index);
    void Option_Cond_Click(int index);
    void Check_CondSelect_Click(int index);
    void Text_Target_Change(int index);
    void Text_Target_KeyPress(int index, int& keyAscii);
    void Text_Target_DblClick(int index);
    void Text_Command_Change();
    void Text_Command_KeyPress(int& keyAscii);
    void Text_Command_DblClick();
    void Combo_GPIBaddr_Click();
    void Button_Test_Click();
    void Button_OK_Click();
    void Button_Cancel_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ConnectHandlers();
    void Form_Load();
    void EnableOK();
    void UpdateTestButton();
    CondControls Controls() const;
    // Selects the entry for a value, adding one at the end for a value the list lacks.
    static void SelectValue(QComboBox* combo, int position, int value);

    settings::Settings& settings_;
    QString LoadedWord; // the controls as loading left them, written as a word
    const bus::Instrument& instrument_;
    const bus::Listeners& listeners_;
};
