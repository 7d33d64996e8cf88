#include "condition/ui/CondTerminatedForm.h"
#include "measure/Conditions.h"
#include "widgets/TwipsLayout.h"

namespace {
const QSize DesignClient(229, 121);
} // namespace

CondTerminatedForm::CondTerminatedForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    ui.setupUi(this);
    ConnectHandlers();
    Form_Load();
}

void CondTerminatedForm::Open(QWidget* parent) {
    CondTerminatedForm form(parent);
    form.exec();
}

void CondTerminatedForm::ConnectHandlers() {
    connect(ui.Button_OK, &QPushButton::clicked, this, &CondTerminatedForm::Button_OK_Click);
}

void CondTerminatedForm::Form_Load() {
    const double scale = twips::FitScale(this);
    ui.Label1->setText(TermReason);
    twips::Place(this, DesignClient, twips::FitWrapped(ui.Label1, ui.Label1->size(), scale));
}

void CondTerminatedForm::Button_OK_Click() {
    accept();
}
