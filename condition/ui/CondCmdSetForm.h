#pragma once
// The current conditional command settings in words; stays open beside the main window.
#include "condition/CondSettings.h"
#include "ui_CondCmdSetForm.h"
#include <QDialog>

class CondCmdSetForm : public QDialog {
    Q_OBJECT
public:
    explicit CondCmdSetForm(const CondCommand& command, QWidget* parent = nullptr);

    // Shows the report of these settings without blocking the main window; when one is already
    // open, brings it forward instead, unchanged.
    static CondCmdSetForm* ShowFor(QWidget* mainWindow, const CondCommand& command);

    Ui::CondCmdSetForm ui;
    void Button_OK_Click();

private:
    void ConnectHandlers();
    void Form_Load(const CondCommand& command);
};
