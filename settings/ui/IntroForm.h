#pragma once
// The splash window shown briefly when the main window first becomes active.
#include "ui_IntroForm.h"
#include <QDialog>
#include <QString>

class QTimer;

// The splash text: title, ", v" + version when there is one, " / " + date when there is one.
QString IntroText(const QString& appTitle, const QString& appVersion, const QString& versionDate);

// Shows the splash modally for the given seconds or until it is clicked; does nothing for
// seconds <= 0 or an empty title.
void Intro(int seconds, const QString& appTitle, const QString& appVersion,
           const QString& versionDate);

class IntroForm : public QDialog {
    Q_OBJECT
public:
    explicit IntroForm(QWidget* parent = nullptr);

    // Sets the text and the time shown, and sizes the window to the text.
    void Prepare(const QString& text, int seconds);

    void Timer1_Timer();
    void Form_Click();
    void Label1_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ConnectHandlers();
    void Form_Activate();
    void Dismiss();

    Ui::IntroForm ui;
    QTimer* Timer1 = nullptr;
};
