// The Log File frame's name box: the name checks and the key filter.
#include "FormFixture.h"
#include <QTemporaryDir>
#include <QTest>

using platform::Answer;

class TestLogFileLocation : public QObject {
    Q_OBJECT
private slots:
    // A walk through the name box of a shown, active window logging to Test.csv in a temporary
    // folder. Typing alone asks nothing; leaving the box, or the File menu while in it, checks
    // the name; the File menu with the focus elsewhere checks nothing.
    void nameBox() {
        FormFixture f(BenchJson(R"({ "address": 3 })"));
        QTemporaryDir dir;
        QVERIFY(f.start());
        Ui::MainForm* ui = f.ui();
        ui->Text_Path->setText(dir.path());
        f.p.settings.markSaved(); // the folder just set is the start
        f.form->show();
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        // The name that results from typing text (Backspace passes the filter) and leaving by
        // the File menu or by moving the focus; answer: to "Check File Name", -1 not asked.
        const auto type = [&](const QString& text, bool menu, int answer) {
            if (answer >= 0) f.sys.answerBox(Answer(answer), "Check File Name");
            ui->Text_FileName->setFocus(Qt::TabFocusReason);
            QTest::mouseDClick(ui->Text_FileName, Qt::LeftButton); // empties it
            QTest::keyClicks(ui->Text_FileName, text + "x\b");
            const bool early = answer >= 0 && f.sys.pendingAnswers() == 0;
            if (menu) f.p.Menu_File_Click();
            ui->Text_MeasQuery->setFocus(Qt::TabFocusReason);
            f.p.Menu_File_Click();
            const QString name = ui->Text_FileName->text();
            return early || f.sys.pendingAnswers() ? "asked too early or not at all"
                   : f.p.logFile.CsvFile == dir.filePath(name)
                       ? name
                       : "but logging to " + f.p.logFile.CsvFile;
        };
        QCOMPARE(type("", false, -1), "Test.csv"); // emptied: restored
        QVERIFY(!f.p.settings.changed());
        QCOMPARE(type("data", false, int(Answer::No)), "data");
        QCOMPARE(type("data", true, int(Answer::Yes)), "data.csv");
        QCOMPARE(type("data.", false, int(Answer::Yes)), "data.csv");
        QCOMPARE(type("DATA.CSV", false, -1), "DATA.CSV");
        QCOMPARE(type("Run-2_x.CSV.bak a:b\\c/d*?\"<>|;e", false, -1), "Run-2_x.CSVbakabcde");
        QVERIFY(f.p.settings.changed());
    }
};

QTEST_MAIN(TestLogFileLocation)
#include "tst_logfilelocation.moc"
