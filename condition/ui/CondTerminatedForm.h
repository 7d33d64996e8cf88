#pragma once
// Why a condition ended the run, shown when it happens.
#include "ui_CondTerminatedForm.h"
#include <QDialog>

class CondTerminatedForm : public QDialog {
    Q_OBJECT
public:
    explicit CondTerminatedForm(const QString& report, QWidget* parent = nullptr);

    // Shows the termination report modally over the parent.
    static void Open(const QString& report, QWidget* parent);

    Ui::CondTerminatedForm ui;
    void Button_OK_Click();

private:
    void ConnectHandlers();
    void Form_Load(const QString& report);
};
