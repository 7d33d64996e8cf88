#include "terminal/ui/SyntaxCheckForm.h"
#include "terminal/Busmate.h"
#include "ui_SyntaxCheckForm.h"
#include "widgets/BusGate.h"

SyntaxCheckForm::SyntaxCheckForm(gpib::BusActivity& activity, QWidget* parent)
    : QDialog(parent), ui(new Ui::SyntaxCheckForm) {
    ui->setupUi(this);
    SyntaxCheckMethod = {ui->SyntaxCheckMethod_0, ui->SyntaxCheckMethod_1, ui->SyntaxCheckMethod_2};
    connect(ui->Close_Button, &QPushButton::clicked, this, &SyntaxCheckForm::Close_Button_Click);
    // Closing with a method sets the device up for it, on the bus.
    ctl::RefuseDuringBus(activity, this, {ui->Close_Button});
}

SyntaxCheckForm::~SyntaxCheckForm() = default;

void SyntaxCheckForm::Form_Load(int address, int method) {
    ui->Frame1->setTitle(term::SyntaxFrameCaption(address));
    const int index = method + 1;
    if (index >= 0 && index < int(SyntaxCheckMethod.size()))
        SyntaxCheckMethod[index]->setChecked(true);
}

void SyntaxCheckForm::Close_Button_Click() {
    for (int k = 0; k < int(SyntaxCheckMethod.size()); ++k) {
        if (SyntaxCheckMethod[k]->isChecked()) {
            Method = k - 1;
            accept();
            return;
        }
    }
    reject();
}

int SyntaxCheckForm::TwipsToPixels(int twips) const {
    return (twips * logicalDpiX() + 720) / 1440;
}
