// The settings sets of the main window: the named sets' menus, save, recall, the built-in
// defaults. What a set holds and in which order is the record's business (SettingsRecord.h);
// here each field meets its control.
#include "app/MainForm.h"
#include "platform/Platform.h"
#include "settings/SaveFailure.h"
#include "settings/SettingsRecord.h"
#include "ui_MainForm.h"

using platform::Answer;
using platform::Buttons;
using platform::Icon;
using namespace settings;

namespace {
QString StoredValue(int index, const QString& key, const QString& missing) {
    return platform::Sys().readSetting(AppName, SectionName(index), key, missing);
}

// A set's name in a menu caption: "&" is a character of the name, not an access key.
QString MenuText(const QString& caption) {
    QString text = caption;
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}
} // namespace

QString MainForm::TitleLine() const {
    if (!settingsSets.TitleLine.isEmpty()) return settingsSets.TitleLine;
    return startup.AppTitle + ", v" + startup.AppVersion + " - " + VersionDate;
}

QString MainForm::FieldValue(Field field) const {
    if (const std::optional<QString> held = settings.stored(field)) return *held;
    switch (field) {
    case Field::LogFilePath:
        return ui->Text_Path->text();
    case Field::LogFileName:
        return ui->Text_FileName->text();
    case Field::Interval:
        return Text_Time[0]->text();
    case Field::Sequence:
        return Text_Time[1]->text();
    case Field::IntervalTime:
        return FlagText(!Option_Time[0]->isChecked());
    case Field::PCTime:
    case Field::TimeFromStart:
    case Field::SequenceNumber:
        return FlagText(Check_Log[int(field) - int(Field::PCTime)]->isChecked());
    case Field::ManualGPIBAddress:
        return ui->Combo_Addr->currentText();
    case Field::ID:
        for (int i = 0; i < 3; ++i)
            if (Option_ID[i]->isChecked()) return QString::number(i);
        return QStringLiteral("0");
    case Field::Device:
        return ui->Text_DeviceID->text();
    case Field::Query:
        return ui->Text_MeasQuery->text();
    default:
        return {};
    }
}

// Writes one value as the user would have entered it, so the control's own change handling
// runs (connection dropped, timing re-checked, settings marked changed).
void MainForm::ApplyField(Field field, const QString& value, bool recall) {
    switch (field) {
    case Field::LogFilePath:
        ui->Text_Path->setText(value);
        break;
    case Field::LogFileName:
        ui->Text_FileName->setText(value);
        break;
    case Field::Interval:
        Text_Time[0]->setText(value);
        break;
    case Field::Sequence:
        Text_Time[1]->setText(value);
        break;
    case Field::IntervalTime:
        // Not a click: the unit's own action empties the interval, which a recall keeps.
        Option_Time[value == QLatin1String("1") ? 1 : 0]->setChecked(true);
        break;
    case Field::PCTime:
    case Field::TimeFromStart:
    case Field::SequenceNumber: {
        const int i = int(field) - int(Field::PCTime);
        const bool on = value == QLatin1String("1");
        if (Check_Log[i]->isChecked() == on) break;
        Check_Log[i]->setChecked(on);
        Check_Log_Click(i);
        break;
    }
    case Field::ManualGPIBAddress: {
        // An address that is not in the list (not on the bus today) is skipped.
        const int at = ui->Combo_Addr->findText(value, Qt::MatchExactly);
        if (at < 0 || at == ui->Combo_Addr->currentIndex()) break;
        ui->Combo_Addr->setCurrentIndex(at);
        Combo_Addr_Click();
        break;
    }
    case Field::ID: {
        const int i = IdIndexOf(value);
        if (Option_ID[i]->isChecked()) break;
        Option_ID[i]->setChecked(true);
        Option_ID_Click(i);
        break;
    }
    case Field::Device:
        ui->Text_DeviceID->clear();
        ui->Text_DeviceID->setText(value);
        if (recall) settings.load(field, ui->Text_DeviceID->text());
        break;
    case Field::Query:
        if (recall) settings.load(field, value);
        ui->Text_MeasQuery->setText(value);
        break;
    default:
        settings.load(field, value);
        break;
    }
}

void MainForm::ReadSetNames() {
    for (int n = 1; n <= 5; ++n) {
        settingsSets.SetNames[n] = StoredValue(n, SetNameKey, NotSaved);
        Menu_Recall[n]->setText(MenuText(RecallCaptionAtStart(settingsSets.SetNames[n])));
        Menu_Save[n]->setText(MenuText(SaveCaptionAtStart(n, settingsSets.SetNames[n])));
    }
}

bool MainForm::SaveSettings(int index) {
    QString name;
    if (index > 0) {
        const QString n = QString::number(index);
        const QString stored = StoredValue(index, SetNameKey, QStringLiteral("No"));
        QString proposed = "Test #" + n;
        if (stored != QLatin1String("No")) {
            if (platform::MsgBox("Save Settings",
                                 "Settings " + n + " has already been saved under the name " +
                                     stored + ".\nDo you want to replace it ?",
                                 Buttons::YesNo, Icon::Question, Answer::Yes) == Answer::No)
                return false;
            proposed = stored;
        }
        // A set stored as "Not Saved" would read back as never saved: that name is refused.
        for (;;) {
            name = platform::Sys().inputBox("Save Settings " + n,
                                            "Enter a name to identify the settings", proposed);
            if (name.isEmpty()) return false;
            if (name != NotSaved) break;
            platform::MsgBox("Save Settings",
                             "The name " + NotSaved +
                                 " marks a setting that has not been saved.\nPlease enter "
                                 "another name.",
                             Buttons::Ok, Icon::Warning);
        }
    }
    Record record;
    for (const FieldDef& def : Fields())
        record[def.field] = FieldValue(def.field);
    QString failure;
    WriteRecord(
        [index, &failure](const QString& key, const QString& value) {
            if (failure.isEmpty())
                failure = platform::Sys().writeSetting(AppName, SectionName(index), key, value);
        },
        record, name);
    if (!failure.isEmpty()) {
        ReportSaveFailure(index == 0 ? QStringLiteral("The Startup settings")
                                     : "Settings " + QString::number(index),
                          failure);
        return false;
    }
    if (index == 0) return true;
    settingsSets.SetNames[index] = name;
    Menu_Recall[index]->setText(MenuText(RecallCaption(name)));
    Menu_Save[index]->setText(MenuText(SaveCaptionAfterSave(index, name)));
    return true;
}

void MainForm::RecallSettings(int index) {
    QString name;
    if (index > 0) {
        const QString n = QString::number(index);
        name = StoredValue(index, SetNameKey, NotSaved);
        if (name == NotSaved) {
            platform::MsgBox("Recall Settings Error",
                             "Setting " + n + " has not been saved.\nRecall Cancelled.",
                             Buttons::Ok, Icon::Warning);
            return;
        }
        if (platform::MsgBox("Recall Saved Setting " + n,
                             "Settings Name: " + name + "\nDo you want to continue loading ?",
                             Buttons::YesNo, Icon::Question, Answer::Yes) == Answer::No)
            return;
    }
    const Record record =
        ReadRecord([index](const QString& key) { return StoredValue(index, key, QString()); });
    for (Field field : RecallOrder())
        ApplyField(field, record[field], true);
    FinishLoading();
    if (index > 0) {
        setWindowTitle(TitleLine() + " - Using Saved Setting: " + name);
    } else {
        setWindowTitle(TitleLine());
        settings.markSaved();
    }
}

void MainForm::RestoreDefaults() {
    const Record record = BuiltInDefaults();
    for (Field field : DefaultsOrder())
        ApplyField(field, record[field], false);
    FinishLoading();
    setWindowTitle(TitleLine());
    ui->Text_DeviceID->setFocus();
}

void MainForm::FinishLoading() {
    CondOnIndicator(settings.condOn());
    for (QLabel* progress : {ui->Label_CurrentSequence, ui->Label_RemainingSequences,
                             ui->Label_ElapsedTime, ui->Label_RemainingTime})
        progress->clear();
    ui->Text_MeasResponse->clear();
    if (ui->Button_ApplyTime->isEnabled()) Button_ApplyTime_Click();
    // The log file the run would open follows the loaded folder and name.
    UpdateCsvFile();
}

void MainForm::Menu_Recall_Click(int index) {
    RecallSettings(index);
}

void MainForm::Menu_Save_Click(int index) {
    if (SaveSettings(index) && index == 0) settings.markSaved();
}

void MainForm::Menu_RecallDefault_Click() {
    if (platform::MsgBox("Restore Default",
                         "This will reset all parameters except the Path to Excel and "
                         "Plotbook.xlsm to default.\n\nAre you sure ?",
                         Buttons::YesNo, Icon::Question, Answer::Yes) == Answer::Yes)
        RestoreDefaults();
}
