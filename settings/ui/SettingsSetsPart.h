#pragma once
// The main window's settings sets: the start-up set (0) and the five named ones, their menus,
// save, recall and the built-in defaults. What a set holds and in which order is the record's
// business (SettingsRecord.h); here each field meets its control.
#include "settings/SettingsRecord.h"
#include <QObject>
#include <QString>
#include <array>

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QWidget;
struct MainFormProbe;
namespace settings {
class Settings;
}

class SettingsSetsPart : public QObject {
    Q_OBJECT

public:
    struct Parts {
        QWidget* window;                     // its title names the recalled set
        std::array<QAction*, 6> Menu_Recall; // 0 is the start-up item
        std::array<QAction*, 6> Menu_Save;
        QAction* Menu_RecallDefault;
        // The controls that hold a field of a set.
        QLineEdit* Text_Path;
        QLineEdit* Text_FileName;
        std::array<QLineEdit*, 3> Text_Time;
        std::array<QRadioButton*, 2> Option_Time;
        std::array<QCheckBox*, 3> Check_Log;
        QComboBox* Combo_Addr;
        std::array<QRadioButton*, 3> Option_ID;
        QLineEdit* Text_DeviceID;
        QLineEdit* Text_MeasQuery;
        settings::Settings* settings;
    };
    explicit SettingsSetsPart(const Parts& parts);
    void ConnectHandlers();

    // The title as loading left it, bus name included: a recall adds the set's name to it.
    void SetTitleLine(const QString& title) { settingsSets.TitleLine = title; }
    void ReadSetNames();
    bool SaveSettings(int index); // false when the store refused it (the user has been told)
    void RecallSettings(int index);

signals:
    // A recall chose an identification mode or an address, as a click on it would.
    void idOptionClicked(int index);
    void addressClicked();
    // The fields are in: the rest of the window follows them.
    void loaded();

private:
    friend struct MainFormProbe;
    Parts c;
    struct SettingsSetsState {
        std::array<QString, 6> SetNames; // 1 to 5, as read at the first activation
        QString TitleLine;
    } settingsSets;

    QString FieldValue(settings::Field field) const;
    void ApplyField(settings::Field field, const QString& value, bool recall);
    void RestoreDefaults();
    void Menu_Recall_Click(int index);
    void Menu_Save_Click(int index);
    void Menu_RecallDefault_Click();
};
