// Whole runs of the main window against a simulated bench, with the log file checked byte for
// byte.
#include "FileBytes.h"
#include "FormFixture.h"
#include "measure/LogFile.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>

using platform::Answer;

namespace {
const QString Stopped = "Stop'd by User", Ended = "ended";

// True while this process holds a descriptor on the file.
bool HeldOpen(const QString& path) {
    const QFileInfoList fds = QDir("/proc/self/fd").entryInfoList(QDir::Files | QDir::System);
    return std::ranges::any_of(fds, [&](const QFileInfo& fd) {
        return fd.symLinkTarget() == QFileInfo(path).canonicalFilePath();
    });
}

// columns: P for PC time, T for time from start, S for sequence number. boxes: the title of
// each box expected and its answer. end: Completed, Stopped or Ended (the program). The window
// is closed as wait stopAtWait begins. existing: the log holds an old text before the run.
// pads: the instrument addressed after each row. armed: the waits in ms. file: the log, PC
// times shown as T.
struct Case {
    QByteArray columns = "S", exclude = {};
    QString sep = ".";
    QList<QPair<QString, Answer>> boxes = {};
    QString end = "Completed";
    int sequences = 2, interval = 1, stopAtWait = 0;
    bool existing = false;
    QList<int> pads = {}, armed = {1000, 1000};
    QByteArray file = {};
};
} // namespace
Q_DECLARE_METATYPE(Case)

class TestRun : public QObject {
    Q_OBJECT
private slots:
    void run_data() {
        QTest::addColumn<Case>("c");
        QTest::newRow("PTS, 90 s waits, a silent instrument: the run goes on")
            << Case{.columns = "PTS",
                    .exclude = "VDC",
                    .sep = ",",
                    .boxes = {{"I/O Error", Answer::Ok}},
                    .sequences = 3,
                    .interval = 90,
                    .pads = {4, 3},
                    .armed = {60000, 30000, 60000, 30000},
                    .file = "Time;Time From Start;Sequence;Measured|T;0:00:00;1;+1,000E+01|"
                            "T;0:01:30;2;|T;0:03:00;3;+1,050E+01"};
        QTest::newRow("existing file replaced, driver error: Cancel ends the program")
            << Case{.boxes = {{"File Error", Answer::No}, {"GPIB ERROR # 6", Answer::Cancel}},
                    .end = Ended,
                    .sequences = 4,
                    .existing = true,
                    .pads = {3, 5},
                    .file = "sep=;|Sequence;Measured|1;+1.000E+01VDC|2;+1.050E+01VDC"};
        QTest::newRow("T, closing during a wait stops, closes the log, then asks") << Case{
            .columns = "T",
            .boxes = {{"Exit", Answer::Ok}},
            .end = Stopped,
            .sequences = 5,
            .stopAtWait = 2,
            .file = "sep=;|Time From Start;Measured|0:00:00;+1.000E+01VDC|0:00:01;+1.050E+01VDC"};
    }

    void run() {
        QFETCH(Case, c);
        if (c.end == Ended && !BusReportsWriteErrors())
            QSKIP("this bus cannot report a failed write");
        // Instrument 3 measures; 4 stays silent and 5 refuses every write, for a run that
        // re-addresses the descriptor midway.
        FormFixture f(BenchJson(R"({ "address": 3, "replies": { "MEAS?":
            ["+1.000E+01VDC", "+1.050E+01VDC"] } }, { "address": 4, "replies": { "MEAS?": null } },
            { "address": 5, "replies": { "MEAS?": { "write_error": 6 } } })"));
        QTemporaryDir dir;
        QVERIFY(dir.isValid() && f.start());
        Ui::MainForm* ui = f.ui();
        ui->Text_Path->setText(dir.path());
        const QString log = dir.filePath("Test.csv");
        f.p.ConnectAndApplyTiming("3", "MEAS?", c.interval, c.sequences);
        for (int i = 0; i < 3; ++i)
            f.p.Check_Log[i]->setChecked(c.columns.contains("PTS"[i]));
        f.p.settings.setMeasurement({c.exclude, {}, false, c.sep});
        QFile old(log);
        if (c.existing) QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old\r\nlog\r\n"));
        old.close();
        for (const auto& [title, answer] : c.boxes)
            f.sys.answerBox(answer, title);
        if (c.stopAtWait) f.form->show();
        f.p.settings.markChanged(); // so that closing asks
        QByteArrayList rows;
        QList<int> armed;
        bool onDisk = true, askedDuringRun = false;
        QObject::connect(f.form.get(), &MainForm::rowLogged, [&](const QByteArray& row) {
            // Each row is with the system as it is reported: a kill now would keep it.
            onDisk = onDisk && HeldOpen(log) && ReadAll(log).endsWith(row + "\r\n");
            if ((rows << row).size() <= c.pads.size())
                f.bench.bus()->ibpad(f.p.instrument.ud(), c.pads[rows.size() - 1]);
        });
        // Waits end at once, but for the one where the window is closed.
        QObject::connect(f.form.get(), &MainForm::timerArmed, [&](int ms) {
            // Tied to the window, so that a tick left over when the run ends dies with it.
            QTimer::singleShot(0, f.form.get(), [&, n = (armed << ms).size()] {
                if (n != c.stopAtWait) return f.p.Timer1_Timer();
                f.form->close();
                askedDuringRun = !f.sys.boxes.isEmpty();
            });
        });
        const QTime before = QTime::currentTime();
        try {
            f.p.Button_Start_Click();
        } catch (const platform::ProgramEnded&) {
        }
        const QTime after = QTime::currentTime();

        QCOMPARE(f.sys.pendingAnswers(), 0);
        QCOMPARE(f.sys.ended, c.end == Ended);
        QCOMPARE(armed, c.armed);
        // The PC time is the wall clock: a time of day between start and end.
        QByteArray raw = ReadAll(log), normal = raw;
        for (QTime t = before.addSecs(-1); t <= after.addSecs(1); t = t.addSecs(1))
            normal.replace(PcTimeText(t).toLocal8Bit() + ';', "T;");
        QCOMPARE(normal, Crlf(c.file));
        // What was reported is what reached the file.
        QVERIFY(onDisk);
        QCOMPARE(raw.mid(raw.indexOf("Measured\r\n") + 10), rows.join("\r\n") + "\r\n");
        QCOMPARE(f.p.logFile.CsvFile, log); // the spreadsheet menus open this run's log
        if (c.end == Ended) return;
        QCOMPARE(ui->Label_CurrentSequence->text(), c.end);
        const QColor endColour = ui->Label_CurrentSequence->palette().color(QPalette::WindowText);
        QCOMPARE(endColour == QColor(255, 0, 0), c.end == Stopped); // red only for a stop
        QVERIFY(ui->Button_Start->isEnabled() && ui->Frame2->isEnabled());
        QVERIFY(!f.p.controller.running() && !f.p.Timer1->isActive() &&
                !ui->Button_Stop->isEnabled());
        // The log is closed; closing asked only after the run.
        QVERIFY(!HeldOpen(log) && !askedDuringRun && !f.form->isVisible());
        // Nothing but the end of the run follows: neither the rest of a 1 s wait nor a query.
        if (c.stopAtWait) QVERIFY(before.msecsTo(after) < 500);
    }
};

QTEST_MAIN(TestRun)
#include "tst_run.moc"
