#include "condition/ui/CondTerminatedForm.h"
#include "widgets/TwipsLayout.h"

namespace {
const QSize DesignClient(229, 121);
} // namespace

CondTerminatedForm::CondTerminatedForm(const QString& report, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    ui.setupUi(this);
    ConnectHandlers();
    Form_Load(report);
}

void CondTerminatedForm::Open(const QString& report, QWidget* parent) {
    CondTerminatedForm form(report, parent);
    form.exec();
}

void CondTerminatedForm::ConnectHandlers() {
    connect(ui.Button_OK, &QPushButton::clicked, this, &CondTerminatedForm::Button_OK_Click);
}

void CondTerminatedForm::Form_Load(const QString& report) {
    const double scale = twips::FitScale(this);
    ui.Label1->setText(report);
    twips::Place(this, DesignClient, twips::FitWrapped(ui.Label1, ui.Label1->size(), scale));
}

void CondTerminatedForm::Button_OK_Click() {
    accept();
}
