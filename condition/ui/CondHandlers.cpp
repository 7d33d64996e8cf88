// The main window's side of the conditional command: opening its dialog and its reports.
#include "app/MainForm.h"
#include "condition/CondSettings.h"
#include "condition/ui/CondCmdSetForm.h"
#include "condition/ui/CondForm.h"
#include "condition/ui/CondTerminatedForm.h"
#include "platform/Platform.h"
#include "ui_MainForm.h"

void MainForm::Button_CondCommand_Click() {
    CondForm::Open(this, settings, instrument, listeners);
    // OK or Cancel: the indicator follows whatever the word now says.
    CondOnIndicator(settings.condOn());
}

void MainForm::Menu_Conditional_Click() {
    Button_CondCommand_Click();
}

void MainForm::Menu_ShowConditional_Click() {
    CondCmdSetForm::ShowFor(this, settings.condCommand());
}

void MainForm::Menu_ViewTerm_Click() {
    platform::MsgBox("Reason for Termination: Condition met", run.Result.TermReason,
                     platform::Buttons::Ok, platform::Icon::Information);
}

void MainForm::ShowTermination() {
    // Left enabled until the next run, so the reason can be read again after this window.
    ui->Menu_ViewTerm->setEnabled(true);
    CondTerminatedForm::Open(run.Result.TermReason, this);
}
