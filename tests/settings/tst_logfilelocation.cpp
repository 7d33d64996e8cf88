// The Log File frame: the name checks, the key filter, the folder and file dialogs.
#include "FormFixture.h"
#include <QTemporaryDir>
#include <QTest>

using platform::Answer;

class TestLogFileLocation : public QObject {
    Q_OBJECT
private slots:
    void change_data() {
        QTest::addColumn<QString>("input"); // typed, then the focus leaves; "menu:" typed, then
                                            // the File menu; or an action
        QTest::addColumn<int>("answer");    // to "Check File Name"; -1: not asked
        QTest::addColumn<QString>("csv");   // in the temporary folder, unless absolute
        QTest::newRow("no extension, Yes") << "data" << int(Answer::Yes) << "data.csv";
        QTest::newRow("full stop at the end") << "data." << int(Answer::Yes) << "data.csv";
        QTest::newRow("upper case asks nothing") << "DATA.CSV" << -1 << "DATA.CSV";
        QTest::newRow("key filter")
            << "Run-2_x.CSV.bak a:b\\c/d*?\"<>|;e" << -1 << "Run-2_x.CSVbakabcde";
        QTest::newRow("emptied: restored") << "" << -1 << "Test.csv";
        QTest::newRow("File menu checks first") << "menu:data" << int(Answer::Yes) << "data.csv";
    }
    void change() {
        QFETCH(QString, input);
        QFETCH(int, answer);
        QFETCH(QString, csv);
        // A shown, active window logging to Test.csv in a temporary folder, nothing changed
        // yet, the focus outside the name box.
        FormFixture f(BenchJson(R"({ "address": 3 })"));
        QTemporaryDir dir;
        QVERIFY(f.start());
        Ui::MainForm* ui = f.ui();
        ui->Text_Path->setText(dir.path());
        f.p.settings.markSaved(); // the folder just set is the start
        f.form->show();
        ui->Text_MeasQuery->setFocus(Qt::TabFocusReason);
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        if (answer >= 0) f.sys.answerBox(Answer(answer), "Check File Name");
        const bool menu = input.startsWith("menu:");
        ui->Text_FileName->setFocus(Qt::TabFocusReason);
        QTest::mouseDClick(ui->Text_FileName, Qt::LeftButton); // empties it
        // Backspace must pass the filter.
        QTest::keyClicks(ui->Text_FileName, input.mid(menu ? 5 : 0) + "x");
        QTest::keyClick(ui->Text_FileName, Qt::Key_Backspace);
        if (menu) f.p.Menu_File_Click();
        // Typing alone asks nothing; leaving the box or the File menu does.
        QCOMPARE(f.sys.pendingAnswers(), menu || answer < 0 ? 0 : 1);
        ui->Text_MeasQuery->setFocus(Qt::TabFocusReason);
        // With the focus elsewhere the menu checks nothing: an unexpected box fails the test.
        f.p.Menu_File_Click();
        QCOMPARE(f.sys.pendingAnswers(), 0);
        csv = dir.filePath(csv);
        QCOMPARE(ui->Text_Path->text() + "/" + ui->Text_FileName->text(), csv);
        QCOMPARE(f.p.logFile.CsvFile, csv);
        QCOMPARE(f.p.settings.changed(), csv != dir.filePath("Test.csv"));
    }
};

QTEST_MAIN(TestLogFileLocation)
#include "tst_logfilelocation.moc"
