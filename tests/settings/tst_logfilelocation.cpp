// The Log File frame: the name checks, the key filter, the folder and file dialogs.
#include "FormFixture.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using platform::Answer;

// A shown, active main window logging to Test.csv in a temporary folder, nothing changed yet,
// the focus outside the name box.
struct Window {
    Window() : f(BenchJson(R"({ "address": 3, "replies": { "MEAS?": "1" } })")) {}
    bool open() {
        if (!dir.isValid() || !QDir(dir.path()).mkdir("other") || !f.start()) return false;
        f.ui()->Text_Path->setText(dir.path());
        f.form->CsvFile = dir.filePath("Test.csv");
        SettingsChanged = false;
        f.form->show();
        f.form->activateWindow();
        leaveName();
        return QTest::qWaitForWindowActive(f.form.get()) && name()->text() == "Test.csv";
    }
    QLineEdit* name() const { return f.ui()->Text_FileName; }
    void leaveName() { f.ui()->Text_MeasQuery->setFocus(Qt::TabFocusReason); }

    FormFixture f;
    QTemporaryDir dir;
};

class TestLogFileLocation : public QObject {
    Q_OBJECT
private slots:
    void change_data() {
        QTest::addColumn<QString>("input"); // typed, then the focus leaves; "menu:" typed, then
                                            // the File menu; or an action
        QTest::addColumn<int>("answer");    // to "Check File Name"; -1: not asked
        QTest::addColumn<QString>("csv");   // in the temporary folder, unless absolute
        QTest::newRow("no extension, Yes") << "data" << int(Answer::Yes) << "data.csv";
        QTest::newRow("no extension, No") << "data" << int(Answer::No) << "data";
        QTest::newRow("full stop at the end") << "data." << int(Answer::Yes) << "data.csv";
        QTest::newRow("upper case asks nothing") << "DATA.CSV" << -1 << "DATA.CSV";
        QTest::newRow("key filter")
            << "Run-2_x.CSV.bak a:b\\c/d*?\"<>|;e" << -1 << "Run-2_x.CSVbakabcde";
        QTest::newRow("emptied: restored") << "double click" << -1 << "Test.csv";
        QTest::newRow("File menu checks first") << "menu:data" << int(Answer::Yes) << "data.csv";
        QTest::newRow("file dialog: other folder and name")
            << "file dialog" << int(Answer::Yes) << "other/run.csv";
        QTest::newRow("folder dialog on a deleted folder")
            << "folder dialog" << -1 << MainForm::DefaultFolder() + "/Test.csv";
    }
    void change() {
        QFETCH(QString, input);
        QFETCH(int, answer);
        QFETCH(QString, csv);
        Window w;
        QVERIFY(w.open());
        if (answer >= 0) w.f.sys.answerBox(Answer(answer), "Check File Name");
        if (input == "file dialog") {
            w.f.sys.answerFileDialog(w.dir.filePath("other/run"));
            w.f.ui()->Button_File->click();
            QCOMPARE(w.f.sys.fileDialogs[0].folder, w.dir.path());
        } else if (input == "folder dialog") {
            w.f.ui()->Text_Path->setText(w.dir.filePath("other"));
            QVERIFY(QDir(w.f.ui()->Text_Path->text()).removeRecursively());
            w.f.sys.answerBox(Answer::Ok, "Path Error");
            w.f.sys.cancelFileDialog();
            w.f.ui()->Button_Path->click();
            QCOMPARE(w.f.sys.fileDialogs[0].folder, MainForm::DefaultFolder());
        } else {
            w.name()->setFocus(Qt::TabFocusReason);
            if (input == "double click") {
                QTest::mouseDClick(w.name(), Qt::LeftButton);
                QCOMPARE(w.name()->text(), QString());
            } else {
                w.name()->selectAll();
                // Backspace must pass the filter.
                QTest::keyClicks(w.name(), input.mid(input.startsWith("menu:") ? 5 : 0) + "x");
                QTest::keyClick(w.name(), Qt::Key_Backspace);
            }
            if (input.startsWith("menu:")) w.f.form->Menu_File_Click();
            QCOMPARE(w.f.sys.pendingAnswers(), input.startsWith("menu:") || answer < 0 ? 0 : 1);
            w.leaveName();
        }
        // With the focus elsewhere the menu checks nothing: an unexpected box fails the test.
        w.f.form->Menu_File_Click();
        QCOMPARE(w.f.sys.pendingAnswers(), 0);
        csv = QDir(w.dir.path()).filePath(csv);
        QCOMPARE(w.f.ui()->Text_Path->text() + "/" + w.name()->text(), csv);
        QCOMPARE(w.f.form->CsvFile, csv);
        QCOMPARE(SettingsChanged, csv != w.dir.filePath("Test.csv"));
    }
};

QTEST_MAIN(TestLogFileLocation)
#include "tst_logfilelocation.moc"
