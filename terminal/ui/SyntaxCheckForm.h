#pragma once
// The choice of syntax checking for one address button.
#include <QDialog>
#include <array>
#include <memory>
#include <optional>

class QRadioButton;
namespace gpib {
class BusActivity;
}
namespace Ui {
class SyntaxCheckForm;
}

class SyntaxCheckForm : public QDialog {
    Q_OBJECT

public:
    // Its closing waits while the bus is busy.
    explicit SyntaxCheckForm(gpib::BusActivity& activity, QWidget* parent = nullptr);
    ~SyntaxCheckForm() override;

    // Fills the dialog for the device at an address and its current method (-1, 0 or 1).
    void Form_Load(int address, int method);
    void Close_Button_Click();
    int TwipsToPixels(int twips) const;

    std::unique_ptr<Ui::SyntaxCheckForm> ui;
    // Index k stands for method k - 1: serial poll, none, status registers.
    std::array<QRadioButton*, 3> SyntaxCheckMethod{};
    // The method chosen when the dialog was closed with an option selected.
    std::optional<int> Method;
};
