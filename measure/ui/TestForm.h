#pragma once
// Trying the measurement query before a run, and building the two exclusions from the answer.
#include "settings/Settings.h"
#include <QDialog>
#include <array>
#include <memory>

class QLineEdit;
namespace bus {
class Instrument;
}
class QPushButton;
namespace Ui {
class TestForm;
}

class TestForm : public QDialog {
    Q_OBJECT

public:
    // The main window's boxes the dialog reads on opening and writes the query back to.
    struct MainBoxes {
        QLineEdit* measQuery = nullptr;
        QLineEdit* deviceId = nullptr;
    };
    // Filled from the settings as they are when it opens; only OK writes them back. The query
    // goes to the instrument the main window measures with.
    TestForm(MainBoxes main, settings::Settings& settings, const bus::Instrument& instrument,
             QWidget* parent = nullptr);
    ~TestForm() override;

    std::unique_ptr<Ui::TestForm> ui;
    std::array<QPushButton*, 2> Button_Add{};
    std::array<QLineEdit*, 2> Text_Exclude{};
    std::array<QPushButton*, 2> Button_Clear{};
    bool Loading = false;

    // Fills the dialog from the settings and the main window's boxes, and asks the instrument
    // once.
    void Form_Activate();
    void Button_Refresh_Click();
    void Button_Add_Click(int index);
    void Button_Clear_Click(int index);
    void Text_Exclude_DblClick(int index);
    void Text_Exclude_Change(int index);
    void Text_MeasQuery_Change();
    void Text_MeasQuery_KeyPress(int& keyAscii);
    void Text_MeasQuery_DblClick();
    void Check_SciToDec_Click();
    void Button_Info_Click();
    void Button_OK_Click();
    void Button_Cancel_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ConnectHandlers();
    void Text_Response_SelectionChange();

    MainBoxes main_;
    settings::Settings& settings_;
    const bus::Instrument& instrument_;
    // The response box forgets its selection when the focus leaves it (for Add's button);
    // the last one the user made is kept here.
    int selectionStart_ = -1;
    int selectionLength_ = 0;
};
