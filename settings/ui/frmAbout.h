#pragma once
// The about box: opened without blocking from the About menu, modally when the command line
// asks for it at start-up.
#include "ui_frmAbout.h"
#include <QDialog>
#include <QString>
#include <QStringList>

// The mail link for an address, with an optional subject and body.
QString MailLink(const QString& emailAddress, const QString& subject = {},
                 const QString& body = {});

// The system information programs looked for on PATH, in order of preference.
QStringList SysInfoPrograms();

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    // Opens the box without blocking; it deletes itself when closed.
    static frmAbout* ShowModeless(QWidget* parent = nullptr);

    // Opens a mail to the address with the desktop's mail handler; true when it was handed on.
    static bool OpenEmail(const QString& emailAddress, const QString& subject = {},
                          const QString& body = {});
    // Starts the desktop's system information program, or says that there is none.
    static void StartSysInfo();

    void cmdOK_Click();
    void cmdSysInfo_Click();
    void lblWebsite_Click();
    void lblEmail_Click();

private:
    void ConnectHandlers();
    void Form_Load();

    Ui::frmAbout ui;
};
