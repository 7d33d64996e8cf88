#pragma once
// The current conditional command settings in words; stays open beside the main window.
#include "ui_CondCmdSetForm.h"
#include <QDialog>

class CondCmdSetForm : public QDialog {
    Q_OBJECT
public:
    explicit CondCmdSetForm(QWidget* parent = nullptr);

    // Shows the report without blocking the main window; when it is already open, brings it
    // forward instead, unchanged.
    static CondCmdSetForm* ShowFor(QWidget* mainWindow);

    Ui::CondCmdSetForm ui;
    void Button_OK_Click();

private:
    void ConnectHandlers();
    void Form_Load();
};
