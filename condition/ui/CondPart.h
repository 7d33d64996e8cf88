#pragma once
// The main window's side of the conditional command: the button and menu that open its
// dialog, the indicator in the sequence frame's caption, and the reports of a run it ended.
#include <QObject>
#include <QString>

class QAction;
class QGroupBox;
class QPushButton;
class QWidget;
namespace bus {
class Instrument;
class Listeners;
} // namespace bus
namespace settings {
class Settings;
}

class CondPart : public QObject {
    Q_OBJECT

public:
    struct Parts {
        QWidget* window;
        QGroupBox* Frame4;
        QPushButton* Button_CondCommand;
        QAction* Menu_Conditional;
        QAction* Menu_ShowConditional;
        QAction* Menu_ViewTerm;
        settings::Settings* settings;
        const bus::Instrument* instrument;
        const bus::Listeners* listeners;
    };
    explicit CondPart(const Parts& parts);
    void ConnectHandlers();

    void CondOnIndicator(bool turnOn);
    // A run begins: the last run's reason is no longer the one to view.
    void RunStarting();
    // After a run a condition ended: the report window, and the menu item that shows it again.
    void ShowTermination(const QString& reason);

private:
    Parts c;
    QString TermReason;

    void Button_CondCommand_Click();
    void Menu_Conditional_Click();
    void Menu_ShowConditional_Click();
    void Menu_ViewTerm_Click();
};
