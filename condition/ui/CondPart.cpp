#include "condition/ui/CondPart.h"
#include "condition/CondSettings.h"
#include "condition/ui/CondCmdSetForm.h"
#include "condition/ui/CondForm.h"
#include "condition/ui/CondTerminatedForm.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include <QAction>
#include <QGroupBox>
#include <QPushButton>

CondPart::CondPart(const Parts& parts) : c(parts) {
    // Only the sequence frame's caption turns bold with the indicator, not its controls.
    for (QWidget* child : c.Frame4->findChildren<QWidget*>()) {
        QFont font = child->font();
        font.setBold(false);
        child->setFont(font);
    }
}

void CondPart::ConnectHandlers() {
    connect(c.Button_CondCommand, &QPushButton::clicked, this, &CondPart::Button_CondCommand_Click);
    connect(c.Menu_Conditional, &QAction::triggered, this, &CondPart::Menu_Conditional_Click);
    connect(c.Menu_ShowConditional, &QAction::triggered, this,
            &CondPart::Menu_ShowConditional_Click);
    connect(c.Menu_ViewTerm, &QAction::triggered, this, &CondPart::Menu_ViewTerm_Click);
}

void CondPart::CondOnIndicator(bool turnOn) {
    c.Frame4->setTitle(turnOn ? " Sequence - Conditional Command ON "
                              : " Sequence - Conditional Command OFF ");
    QFont font = c.Frame4->font();
    font.setBold(turnOn);
    c.Frame4->setFont(font);
    const QColor colour =
        turnOn ? QColor(0, 0, 255) : c.window->palette().color(QPalette::ButtonText);
    c.Frame4->setStyleSheet(
        QStringLiteral("QGroupBox#Frame4::title { color: %1; }").arg(colour.name()));
    c.Menu_ShowConditional->setEnabled(turnOn);
}

void CondPart::Button_CondCommand_Click() {
    CondForm::Open(c.window, *c.settings, *c.instrument, *c.listeners);
    // OK or Cancel: the indicator follows whatever the word now says.
    CondOnIndicator(c.settings->condOn());
}

void CondPart::Menu_Conditional_Click() {
    Button_CondCommand_Click();
}

void CondPart::Menu_ShowConditional_Click() {
    CondCmdSetForm::ShowFor(c.window, c.settings->condCommand());
}

void CondPart::Menu_ViewTerm_Click() {
    platform::MsgBox("Reason for Termination: Condition met", TermReason, platform::Buttons::Ok,
                     platform::Icon::Information);
}

void CondPart::RunStarting() {
    c.Menu_ViewTerm->setEnabled(false);
    TermReason.clear();
}

void CondPart::ShowTermination(const QString& reason) {
    TermReason = reason;
    // Left enabled until the next run, so the reason can be read again after this window.
    c.Menu_ViewTerm->setEnabled(true);
    CondTerminatedForm::Open(TermReason, c.window);
}
