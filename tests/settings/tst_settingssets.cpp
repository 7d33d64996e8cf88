// The main window's settings sets: the first start, save and restart, the named sets'
// questions, Recall Default, the exit question and damaged stored values.
#include "FormFixture.h"
#include "settings/LogFileLocation.h"
#include <QtTest>

using namespace platform;

namespace {
const QByteArray Instruments = R"({ "address": 3, "replies": { "ID?": "M401A" } },
    { "address": 9, "replies": {} })";

// The entries a set holds, as one text: path, name, interval, unit, sequences, applied,
// ticked x-axis columns, address, identification mode, device, query, exclusions,
// conversion, then the conditional command's three values.
QString Entries(FormFixture& f) {
    Ui::MainForm* u = f.ui();
    const MeasurementSettings& m = f.p.settings.measurement();
    const CondCommand& c = f.p.settings.condCommand();
    QString id, columns;
    for (int i = 0; i < 3; ++i) {
        if (f.p.Option_ID[i]->isChecked()) id = QString::number(i);
        columns += f.p.Check_Log[i]->isChecked() ? "PTS"[i] : '-';
    }
    return QStringList({u->Text_Path->text(), u->Text_FileName->text(), f.p.Text_Time[0]->text(),
                        f.p.Option_Time[1]->isChecked() ? "Min" : "Sec", f.p.Text_Time[1]->text(),
                        f.p.timing.TimeApplied ? "applied" : "-", columns,
                        u->Combo_Addr->currentText(), "ID" + id, u->Text_DeviceID->text(),
                        u->Text_MeasQuery->text(), QString::fromLatin1(m.Exclude1),
                        QString::fromLatin1(m.Exclude2), m.DecNotation ? "dec" : "raw",
                        c.ConditionStatusWord, c.ConditionTargetValue[0], c.ConditionTargetValue[1],
                        c.ConditionGPIBCommand})
        .join('|');
}

const QString Fresh =
    DefaultFolder() + "|Test.csv|30|Sec|21|applied|--S|None|ID0|||||raw|3000A0A0AC1|10|10|";
const QString Title = "Sequor, v2.10 - July 2009 rev. March 2023";

// Edits every entry a set holds, as a user would.
void EditEverything(FormFixture& f, const QString& folder) {
    Ui::MainForm* u = f.ui();
    u->Text_Path->setText(folder);
    u->Text_FileName->setText("Bench run.csv");
    f.p.Option_Time[1]->click();
    f.p.Text_Time[0]->setText("1:30");
    f.p.Text_Time[1]->setText("400");
    f.p.Check_Log[0]->click();
    f.p.Check_Log[2]->click();
    u->Combo_Addr->setCurrentIndex(u->Combo_Addr->findText("9"));
    u->Text_DeviceID->setText("M401A");
    u->Text_MeasQuery->setText("MEAS?");
    f.p.Option_ID[1]->click();
    MeasurementSettings m = f.p.settings.measurement();
    m.Exclude1 = "VDC", m.Exclude2 = "E\xb5", m.DecNotation = true;
    f.p.settings.setMeasurement(m);
    f.p.settings.setCondCommand({"4101A0A0AC1", {"5.5", "2"}, "OUT OFF"});
}
} // namespace

class TestSettingsSets : public QObject {
    Q_OBJECT

private slots:
    // The first start, with an empty store, and every question of the named sets. A named set
    // survives a restart: new captions after the save, the start-up captions after the restart,
    // and a recall that brings every entry back, applied.
    void saveRestartRecall() {
        QTemporaryDir dir;
        QMap<QString, QString> store;
        QString saved;
        {
            FormFixture f(BenchJson(Instruments));
            QVERIFY(f.start(true));
            QCOMPARE(Entries(f), Fresh);
            QVERIFY(!f.p.settings.changed() && f.sys.settings.isEmpty() &&
                    f.form->windowTitle() == Title);
            EditEverything(f, dir.path());
            saved = Entries(f);
            f.sys.answerInput("Warm-up & soak");
            f.ui()->Menu_Save1->trigger();
            QCOMPARE(f.ui()->Menu_Save1->text(), "Save Setting1 (Warm-up && soak)");

            // A saved set is replaced only after Yes.
            f.sys.answerInput("Bench A");
            f.ui()->Menu_Save2->trigger();
            f.sys.answerBox(Answer::No, "Save Settings");
            f.ui()->Menu_Save2->trigger();
            QCOMPARE(f.sys.boxes.last().text, "Settings 2 has already been saved under the name "
                                              "Bench A.\nDo you want to replace it ?");
            f.sys.answerBox(Answer::Yes, "Save Settings");
            f.sys.answerInput("Bench B");
            f.ui()->Menu_Save2->trigger();
            QCOMPARE(f.sys.inputDefaults, QStringList({"Test #1", "Test #2", "Bench A"}));

            // "Not Saved", which a recall would take for an empty set, is refused and asked again.
            f.sys.answerInput("Not Saved");
            f.sys.answerBox(Answer::Ok, "Save Settings");
            f.sys.answerInput("Soak");
            f.ui()->Menu_Save4->trigger();
            QCOMPARE(f.sys.boxes.last().text, "The name Not Saved marks a setting that has not "
                                              "been saved.\nPlease enter another name.");

            // A store that cannot be written is reported, naming what failed; nothing counts
            // as saved: the settings stay changed, Exit stays open, the set is not there.
            f.sys.settingsWriteFailure = "/cfg/Sequor/Sequor.ini could not be written.";
            f.sys.answerInput("Bench E");
            f.sys.answerBox(Answer::Ok, "Save Settings Error");
            f.ui()->Menu_Save5->trigger();
            QCOMPARE(f.sys.boxes.last().text, "Settings 5 could not be saved.\n/cfg/Sequor/"
                                              "Sequor.ini could not be written.");
            f.sys.answerBox(Answer::Yes, "Exit");
            f.sys.answerBox(Answer::Ok, "Save Settings Error");
            f.ui()->Menu_Exit->trigger();
            QVERIFY(f.sys.boxes.last().text.startsWith("The Startup settings could not be saved."));
            QVERIFY(f.p.settings.changed() && f.form->isVisible());
            f.sys.answerBox(Answer::Ok, "Recall Settings Error");
            f.ui()->Menu_Recall5->trigger();
            QCOMPARE(f.sys.boxes.last().text, "Setting 5 has not been saved.\nRecall Cancelled.");
            QCOMPARE(f.sys.pendingAnswers(), 0);
            store = f.sys.settings;
        }
        QVERIFY(!store.contains("Sequor/Settings/Query")); // the start-up set is not touched

        store["Sequor/Settings/ExcelPath"] = "/usr/bin/soffice";
        FormFixture f(BenchJson(Instruments));
        f.sys.settings = store;
        QVERIFY(f.start());
        QCOMPARE(Entries(f), Fresh);
        QStringList menus; // the five recall captions, then the five save captions
        for (const char* kind : {"Recall", "Save"})
            for (int i = 1; i <= 5; ++i)
                menus << f.form->findChild<QAction*>(QString("Menu_%1%2").arg(kind).arg(i))->text();
        QCOMPARE(menus.join('|'),
                 "Recall: Warm-up && soak|Recall: Bench B|Not Saved|Recall: Soak|Not Saved|"
                 "Save Setting 1: (Warm-up && soak)|Save Setting 2: (Bench B)|"
                 "Save Setting3: (EMPTY)|Save Setting 4: (Soak)|Save Setting5: (EMPTY)");
        f.sys.answerBox(Answer::Yes, "Recall Saved Setting 1");
        f.ui()->Menu_Recall1->trigger();
        QCOMPARE(f.sys.boxes.last().text,
                 "Settings Name: Warm-up & soak\nDo you want to continue loading ?");
        QCOMPARE(Entries(f), saved.replace("|-|", "|applied|"));
        QCOMPARE(f.ui()->Frame4->title() + '|' + f.form->windowTitle(),
                 " Sequence - Conditional Command ON |" + Title +
                     " - Using Saved Setting: Warm-up & soak");
        const MeasurementSettings& m = f.p.settings.measurement();
        QCOMPARE(f.p.logFile.CsvFile, dir.filePath("Bench run.csv"));

        // Recall Default puts the built-in values in (the file name in lower case) and leaves
        // the store, the spreadsheet path and the recalled device and query alone.
        const auto before = f.sys.settings;
        f.sys.answerBox(Answer::Yes, "Restore Default");
        f.ui()->Menu_RecallDefault->trigger();
        QCOMPARE(Entries(f), QString(Fresh).replace("Test.csv", "test.csv"));
        QCOMPARE(m.DeviceID + m.MeasQuery + f.p.excel.ExcelPath, "M401AMEAS?/usr/bin/soffice");
        QCOMPARE(f.sys.settings, before);

        f.ui()->Menu_RecallStartUp->trigger();
        QCOMPARE(Entries(f), Fresh);
        QVERIFY(!f.p.settings.changed() && f.form->windowTitle() == Title);
    }
};

QTEST_MAIN(TestSettingsSets)
#include "tst_settingssets.moc"
