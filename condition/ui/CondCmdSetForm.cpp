#include "condition/ui/CondCmdSetForm.h"
#include "condition/CondReport.h"
#include "widgets/TwipsLayout.h"

namespace {
constexpr int LeftOfMainTwips = 2850;
constexpr int BelowMainTwips = 870;
const QSize DesignClient(434, 240);
} // namespace

CondCmdSetForm::CondCmdSetForm(const CondCommand& command, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    ui.setupUi(this);
    ConnectHandlers();
    Form_Load(command);
}

CondCmdSetForm* CondCmdSetForm::ShowFor(QWidget* mainWindow, const CondCommand& command) {
    // The open one is the main window's child until it is closed (and deleted).
    CondCmdSetForm* open = nullptr;
    for (CondCmdSetForm* child :
         mainWindow->findChildren<CondCmdSetForm*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible()) open = child;
    if (!open) {
        open = new CondCmdSetForm(command, mainWindow);
        open->setAttribute(Qt::WA_DeleteOnClose);
        open->show();
    }
    open->raise();
    open->activateWindow();
    return open;
}

void CondCmdSetForm::ConnectHandlers() {
    connect(ui.Button_OK, &QPushButton::clicked, this, &CondCmdSetForm::Button_OK_Click);
}

void CondCmdSetForm::Form_Load(const CondCommand& command) {
    // The captions set the factor; the report's text then only needs enough height.
    const double scale = twips::FitScale(this);
    ui.Label_Settings->setText(CondSettingsText(
        command.ConditionStatusWord, command.ConditionTargetValue, command.ConditionGPIBCommand));
    twips::Place(this, DesignClient,
                 twips::FitWrapped(ui.Label_Settings, ui.Label_Settings->size(), scale));
    if (QWidget* main = parentWidget()) {
        const double perTwip = logicalDpiX() / 1440.0;
        move(main->frameGeometry().topLeft() +
             QPoint(int(LeftOfMainTwips * perTwip), int(BelowMainTwips * perTwip)));
    }
}

void CondCmdSetForm::Button_OK_Click() {
    close();
}
