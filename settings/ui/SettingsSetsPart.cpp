#include "settings/ui/SettingsSetsPart.h"
#include "platform/Platform.h"
#include "settings/SaveFailure.h"
#include "settings/Settings.h"
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

using platform::Answer;
using platform::Buttons;
using platform::Icon;
using namespace settings;

namespace {
// A set's name in a menu caption: "&" is a character of the name, not an access key.
QString MenuText(const QString& caption) {
    QString text = caption;
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}
} // namespace

SettingsSetsPart::SettingsSetsPart(const Parts& parts) : c(parts) {}

void SettingsSetsPart::ConnectHandlers() {
    for (int i = 0; i <= 5; ++i) {
        connect(c.Menu_Recall[i], &QAction::triggered, this, [this, i] { Menu_Recall_Click(i); });
        connect(c.Menu_Save[i], &QAction::triggered, this, [this, i] { Menu_Save_Click(i); });
    }
    connect(c.Menu_RecallDefault, &QAction::triggered, this,
            &SettingsSetsPart::Menu_RecallDefault_Click);
}

QString SettingsSetsPart::FieldValue(Field field) const {
    if (const std::optional<QString> held = c.settings->stored(field)) return *held;
    switch (field) {
    case Field::LogFilePath:
        return c.Text_Path->text();
    case Field::LogFileName:
        return c.Text_FileName->text();
    case Field::Interval:
        return c.Text_Time[0]->text();
    case Field::Sequence:
        return c.Text_Time[1]->text();
    case Field::IntervalTime:
        return FlagText(!c.Option_Time[0]->isChecked());
    case Field::PCTime:
    case Field::TimeFromStart:
    case Field::SequenceNumber:
        return FlagText(c.Check_Log[int(field) - int(Field::PCTime)]->isChecked());
    case Field::ManualGPIBAddress:
        return c.Combo_Addr->currentText();
    case Field::ID:
        for (int i = 0; i < 3; ++i)
            if (c.Option_ID[i]->isChecked()) return QString::number(i);
        return QStringLiteral("0");
    case Field::Device:
        return c.Text_DeviceID->text();
    case Field::Query:
        return c.Text_MeasQuery->text();
    default:
        return {};
    }
}

// Writes one value as the user would have entered it, so the control's own change handling
// runs (connection dropped, timing re-checked, settings marked changed).
void SettingsSetsPart::ApplyField(Field field, const QString& value, bool recall) {
    switch (field) {
    case Field::LogFilePath:
        c.Text_Path->setText(value);
        break;
    case Field::LogFileName:
        c.Text_FileName->setText(value);
        break;
    case Field::Interval:
        c.Text_Time[0]->setText(value);
        break;
    case Field::Sequence:
        c.Text_Time[1]->setText(value);
        break;
    case Field::IntervalTime:
        // Not a click: the unit's own action empties the interval, which a recall keeps.
        c.Option_Time[value == QLatin1String("1") ? 1 : 0]->setChecked(true);
        break;
    case Field::PCTime:
    case Field::TimeFromStart:
    case Field::SequenceNumber: {
        const int i = int(field) - int(Field::PCTime);
        const bool on = value == QLatin1String("1");
        if (c.Check_Log[i]->isChecked() == on) break;
        c.Check_Log[i]->setChecked(on);
        c.settings->markChanged();
        break;
    }
    case Field::ManualGPIBAddress: {
        // An address that is not in the list (not on the bus today) is skipped.
        const int at = c.Combo_Addr->findText(value, Qt::MatchExactly);
        if (at < 0 || at == c.Combo_Addr->currentIndex()) break;
        c.Combo_Addr->setCurrentIndex(at);
        emit addressClicked();
        break;
    }
    case Field::ID: {
        const int i = IdIndexOf(value);
        if (c.Option_ID[i]->isChecked()) break;
        c.Option_ID[i]->setChecked(true);
        emit idOptionClicked(i);
        break;
    }
    case Field::Device:
        c.Text_DeviceID->clear();
        c.Text_DeviceID->setText(value);
        if (recall) c.settings->load(field, c.Text_DeviceID->text());
        break;
    case Field::Query:
        if (recall) c.settings->load(field, value);
        c.Text_MeasQuery->setText(value);
        break;
    default:
        c.settings->load(field, value);
        break;
    }
}

void SettingsSetsPart::ReadSetNames() {
    for (int n = 1; n <= 5; ++n) {
        settingsSets.SetNames[n] = StoredValue(n, SetNameKey, NotSaved);
        c.Menu_Recall[n]->setText(MenuText(RecallCaptionAtStart(settingsSets.SetNames[n])));
        c.Menu_Save[n]->setText(MenuText(SaveCaptionAtStart(n, settingsSets.SetNames[n])));
    }
}

bool SettingsSetsPart::SaveSettings(int index) {
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
    c.Menu_Recall[index]->setText(MenuText(RecallCaption(name)));
    c.Menu_Save[index]->setText(MenuText(SaveCaptionAfterSave(index, name)));
    return true;
}

void SettingsSetsPart::RecallSettings(int index) {
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
    emit loaded();
    if (index > 0) {
        c.window->setWindowTitle(settingsSets.TitleLine + " - Using Saved Setting: " + name);
    } else {
        c.window->setWindowTitle(settingsSets.TitleLine);
        c.settings->markSaved();
    }
}

void SettingsSetsPart::RestoreDefaults() {
    const Record record = BuiltInDefaults();
    for (Field field : DefaultsOrder())
        ApplyField(field, record[field], false);
    emit loaded();
    c.window->setWindowTitle(settingsSets.TitleLine);
    c.Text_DeviceID->setFocus();
}

void SettingsSetsPart::Menu_Recall_Click(int index) {
    RecallSettings(index);
}

void SettingsSetsPart::Menu_Save_Click(int index) {
    if (SaveSettings(index) && index == 0) c.settings->markSaved();
}

void SettingsSetsPart::Menu_RecallDefault_Click() {
    if (platform::MsgBox("Restore Default",
                         "This will reset all parameters except the Path to Excel and "
                         "Plotbook.xlsm to default.\n\nAre you sure ?",
                         Buttons::YesNo, Icon::Question, Answer::Yes) == Answer::Yes)
        RestoreDefaults();
}
