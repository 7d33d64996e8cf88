// Whole runs of the main window against a simulated bench, with the log file checked byte for
// byte.
#include "FormFixture.h"
#include "condition/ui/CondTerminatedForm.h"
#include "measure/LogFile.h"
#include "platform/Process.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <sys/resource.h>

using platform::Answer;

namespace {
const QByteArray Old = "an old file, not a log|and longer than the log of one row";
const QString Stopped = "Stop'd by User", NoRun = "", Ended = "ended";

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The lines joined by '|', as the log holds them: every line ends in CR LF.
QByteArray Crlf(QByteArray lines) {
    return lines.isEmpty() ? lines : lines.replace('|', "\r\n") + "\r\n";
}

// True while this process holds a descriptor on the file.
bool HeldOpen(const QString& path) {
    const QFileInfoList fds = QDir("/proc/self/fd").entryInfoList(QDir::Files | QDir::System);
    return std::ranges::any_of(fds, [&](const QFileInfo& fd) {
        return fd.symLinkTarget() == QFileInfo(path).canonicalFilePath();
    });
}

// columns: P for PC time, T for time from start, S for sequence number. box: the title of
// every box expected; answers: one per box. name: else Test.csv. end: Completed, Stopped, NoRun
// or Ended (the program). Stop is clicked, or the window closed with byClosing, as wait
// stopAtWait begins. existing: Test.csv and Test_1.csv hold Old before the run. limitFile: the
// system refuses to make the log larger than expected. pads: the instrument addressed after
// each row. armed: the waits in ms; {-1}: not checked. files: the folder afterwards. file: the
// log named in the box, PC times shown as T.
struct Case {
    QByteArray columns = "S", exclude = {};
    QString sep = ".", box = {}, name = {}, end = "Completed";
    int sequences = 2, interval = 1, stopAtWait = 0;
    bool existing = false, byClosing = false, limitFile = false;
    QList<int> pads = {}, armed = {-1};
    QList<Answer> answers = {Answer::Ok};
    QStringList files = {"Test.csv"};
    QByteArray file = {};
};
} // namespace
Q_DECLARE_METATYPE(Case)

class TestRun : public QObject {
    Q_OBJECT
private slots:
    // As the program does at its start: a refused write is an error, not the end of the process.
    void initTestCase() { platform::KeepRunningPastFileSizeLimit(); }

    void run_data() {
        QTest::addColumn<Case>("c");
        const QByteArray oneRow = "sep=;|Sequence;Measured|1;+1.000E+01VDC";
        const QByteArray twoRows = oneRow + "|2;+1.050E+01VDC";
        // Kept as a table: the formatter would give every field of a long row a line of its own.
        QTest::newRow("PTS, 90 s: a minute, then the rest; an exclusion, ','")
            << Case{.columns = "PTS",
                    .exclude = "VDC",
                    .sep = ",",
                    .interval = 90,
                    .armed = {60000, 30000},
                    .file = "Time;Time From Start;Sequence;Measured|"
                            "T;0:00:00;1;+1,000E+01|T;0:01:30;2;+1,050E+01"};
        QTest::newRow("P, a silent instrument: the run goes on")
            << Case{.columns = "P",
                    .box = "I/O Error",
                    .sequences = 3,
                    .pads = {4, 3},
                    .file = "sep=;|Time;Measured|T;+1.000E+01VDC|T;|T;+1.050E+01VDC"};
        QTest::newRow("T, Stop during a wait") << Case{
            .columns = "T",
            .end = Stopped,
            .sequences = 5,
            .stopAtWait = 2,
            .file = "sep=;|Time From Start;Measured|0:00:00;+1.000E+01VDC|0:00:01;+1.050E+01VDC"};
        QTest::newRow("driver error, Cancel ends the program with every row so far")
            << Case{.box = "GPIB ERROR # 6",
                    .end = Ended,
                    .sequences = 4,
                    .pads = {3, 5},
                    .answers = {Answer::Cancel},
                    .file = twoRows};
        QTest::newRow("closing stops, closes the log, then asks") << Case{
            .box = "Exit", .end = Stopped, .stopAtWait = 1, .byClosing = true, .file = oneRow};
        QTest::newRow("interval 0: no waits; a refused write ends the run")
            << Case{.box = "File Error",
                    .end = Stopped,
                    .sequences = 3,
                    .interval = 0,
                    .limitFile = true,
                    .armed = {},
                    .file = twoRows};
        QTest::newRow("existing file, No: replaced; one sequence: no wait")
            << Case{.box = "File Error",
                    .sequences = 1,
                    .existing = true,
                    .armed = {},
                    .answers = {Answer::No},
                    .files = {"Test.csv", "Test_1.csv"},
                    .file = oneRow};
        QTest::newRow("existing file, Cancel: no run") << Case{.box = "File Error",
                                                               .end = NoRun,
                                                               .existing = true,
                                                               .answers = {Answer::Cancel},
                                                               .files = {"Test.csv", "Test_1.csv"},
                                                               .file = Old};
        QTest::newRow("no x-axis column")
            << Case{.columns = "", .box = "X-data Error", .end = NoRun, .files = {}};
        QTest::newRow("a name that climbs out of the folder")
            << Case{.box = "File Error", .name = "../escape.csv", .end = NoRun, .files = {}};
    }

    void run() {
        QFETCH(Case, c);
        if (c.box.startsWith("GPIB ERROR") && !BusReportsWriteErrors())
            QSKIP("this bus cannot report a failed write");
        // Instrument 3 measures; 4 stays silent and 5 refuses every write, for a run that
        // re-addresses the descriptor midway.
        FormFixture f(BenchJson(R"({ "address": 3, "replies": { "MEAS?":
            ["+1.000E+01VDC", "+1.050E+01VDC"] } }, { "address": 4, "replies": { "MEAS?": null } },
            { "address": 5, "replies": { "MEAS?": { "write_error": 6 } } })"));
        QTemporaryDir dir;
        QVERIFY(dir.isValid() && QDir(dir.path()).mkdir("log") && f.start());
        Ui::MainForm* ui = f.ui();
        const QDir folder(dir.filePath("log"));
        ui->Text_Path->setText(folder.path());
        if (!c.name.isEmpty()) ui->Text_FileName->setText(c.name);
        const auto log = [&] { return folder.filePath(ui->Text_FileName->text()); };
        f.p.ConnectAndApplyTiming("3", "MEAS?", std::max(c.interval, 1), c.sequences);
        // Apply refuses an interval of 0; the run reads the value itself.
        if (c.interval == 0) f.p.timing.IntervalSeconds = f.p.timing.TotalSeconds = 0;
        for (int i = 0; i < 3; ++i)
            f.p.Check_Log[i]->setChecked(c.columns.contains("PTS"[i]));
        f.p.settings.setMeasurement({c.exclude, {}, false, c.sep});
        f.p.controller.stop(); // as a stopped run leaves it: the next run starts afresh
        for (const QString& name : c.files.first(c.existing ? 2 : 0)) {
            QFile old(folder.filePath(name));
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write(Crlf(Old)) == Crlf(Old).size());
        }
        for (Answer answer : c.box.isEmpty() ? QList<Answer>() : c.answers)
            f.sys.answerBox(answer, c.box);
        if (c.byClosing) f.form->show();
        f.p.settings.markChanged(); // so that closing asks
        QByteArrayList rows;
        QList<int> armed;
        bool held = false, askedDuringRun = false;
        QObject::connect(f.form.get(), &MainForm::rowLogged, [&](const QByteArray& row) {
            held = HeldOpen(log());
            if ((rows << row).size() <= c.pads.size())
                f.bench.bus()->ibpad(f.p.instrument.ud(), c.pads[rows.size() - 1]);
        });
        // Waits end at once, but for the one where Stop is clicked or the window closed.
        QObject::connect(f.form.get(), &MainForm::timerArmed, [&](int ms) {
            // Tied to the window, so that a tick left over when the run ends dies with it.
            QTimer::singleShot(0, f.form.get(), [&, n = (armed << ms).size()] {
                if (n != c.stopAtWait) return f.p.Timer1_Timer();
                c.byClosing ? void(f.form->close()) : ui->Button_Stop->click();
                askedDuringRun = !f.sys.boxes.isEmpty();
            });
        });
        rlimit unlimited{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        const rlimit limited = {rlim_t(Crlf(c.file).size()), unlimited.rlim_max};
        if (c.limitFile) setrlimit(RLIMIT_FSIZE, &limited);
        const QTime before = QTime::currentTime();
        try {
            f.p.Button_Start_Click();
        } catch (const platform::ProgramEnded&) {
        }
        const QTime after = QTime::currentTime();
        setrlimit(RLIMIT_FSIZE, &unlimited);

        QCOMPARE(f.sys.pendingAnswers(), 0);
        QCOMPARE(f.sys.ended, c.end == Ended);
        if (c.armed != QList<int>{-1}) QCOMPARE(armed, c.armed);
        // Nothing is written above the folder; the files that were there stay as they were.
        QCOMPARE(folder.entryList(QDir::Files) + QDir(dir.path()).entryList(QDir::Files), c.files);
        for (const QString& name : folder.entryList(QDir::Files))
            if (folder.filePath(name) != log()) QCOMPARE(ReadAll(folder.filePath(name)), Crlf(Old));
        // The PC time is the wall clock: a time of day between start and end.
        QByteArray raw = ReadAll(log()), normal = raw;
        for (QTime t = before.addSecs(-1); t <= after.addSecs(1); t = t.addSecs(1))
            normal.replace(PcTimeText(t).toLocal8Bit() + ';', "T;");
        QCOMPARE(normal, Crlf(c.file));
        if (c.end == NoRun) return;
        // What was reported is what reached the file; the answer box shows the last answer.
        QCOMPARE(raw.mid(raw.indexOf("Measured\r\n") + 10), rows.join("\r\n") + "\r\n");
        const QByteArray last = rows.last().split('\n').last().split(';').last().trimmed();
        if (!c.limitFile) QCOMPARE(ui->Text_MeasResponse->text(), QString::fromLatin1(last));
        QCOMPARE(f.p.logFile.CsvFile, log()); // the spreadsheet menus open this run's log
        if (c.end == Ended) return;
        QCOMPARE(ui->Label_CurrentSequence->text(), c.end);
        const QColor endColour = ui->Label_CurrentSequence->palette().color(QPalette::WindowText);
        QCOMPARE(endColour == QColor(255, 0, 0), c.end == Stopped); // red only for a stop
        QVERIFY(ui->Button_Start->isEnabled() && ui->Frame2->isEnabled());
        QVERIFY(!f.p.controller.running() && !f.p.Timer1->isActive() &&
                !ui->Button_Stop->isEnabled());
        // The log was open during the run and is closed; closing asked only after the run.
        QVERIFY(held && !HeldOpen(log()) && !askedDuringRun && !f.form->isVisible());
        // Nothing but the end of the run follows: neither the rest of a 1 s wait nor a query.
        if (c.stopAtWait) QVERIFY(before.msecsTo(after) < 500);
    }
};

QTEST_MAIN(TestRun)
#include "tst_run.moc"
