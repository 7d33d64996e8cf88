// Whole runs of the main window against a simulated bench, with the log file checked byte for
// byte.
#include "FormFixture.h"
#include "bus/BusAccess.h"
#include "bus/GpibDriver.h"
#include "measure/LogFile.h"
#include "measure/Processing.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <sys/resource.h>

using namespace Qt::Literals::StringLiterals;
using platform::Answer;

namespace {
const QByteArray TwoAnswers = R"(["+1.000E+01VDC", "+1.050E+01VDC"])";
const QByteArray Old = "an old file, not a log|and longer than the log of one row";
const QString Stopped = "Stop'd by User", NoRun = "", Ended = "ended";

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// The lines joined by '|', as the log holds them: every line ends in CR LF.
QByteArray Crlf(QByteArray lines) {
    return lines.replace('|', "\r\n") + "\r\n";
}

// True while this process holds a descriptor on the file.
bool HeldOpen(const QString& path) {
    const QDir fds("/proc/self/fd");
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System))
        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == QFileInfo(path).canonicalFilePath())
            return true;
    return false;
}

struct Case {
    QByteArray columns = "S"; // P: PC time, T: time from start, S: sequence number
    QString sep = ".";
    int sequences = 2, interval = 1;
    QByteArray exclude1 = {}, exclude2 = {};
    bool decimal = false;
    QList<int> pads = {};           // the instrument addressed after each row
    QList<Answer> answers = {};     // to the boxes in order; OK to the rest
    bool existing = false;          // Test.csv and Test_1.csv exist, holding Old
    QString folder = {}, name = {}; // else the temporary folder and Test.csv
    int stopAtWait = 0;             // Stop is clicked as this wait begins...
    bool byClosing = false;         // ...or the window is closed
    bool limitFile = false;         // the system refuses to make the log larger than expected
    QString end = "Completed";      // or Stopped, NoRun, Ended (the program)
    QList<int> armed = {-1};        // the waits in ms; {-1}: not checked
};
} // namespace
Q_DECLARE_METATYPE(Case)

class TestRun : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); } // a refused write is an error only

    void run_data() {
        QTest::addColumn<Case>("c");
        QTest::addColumn<QByteArray>("replies");
        QTest::addColumn<QStringList>("boxes"); // titles, in order
        QTest::addColumn<QByteArray>("file");   // the log named in the box; PC time shown as T
        // Each allowed set of x-axis columns once, each with another trait of a run.
        QTest::newRow("PTS") << Case{.columns = "PTS"} << TwoAnswers << QStringList{}
                             << "sep=;|Time;Time From Start;Sequence;Measured|"
                                "T;0:00:00;1;+1.000E+01VDC|T;0:00:01;2;+1.050E+01VDC"_ba;
        QTest::newRow("PT, ','") << Case{.columns = "PT", .sep = ","} << TwoAnswers << QStringList{}
                                 << "Time;Time From Start;Measured|T;0:00:00;+1,000E+01VDC|"
                                    "T;0:00:01;+1,050E+01VDC"_ba;
        QTest::newRow("PS, exclusions: the second on the first's result")
            << Case{.columns = "PS", .exclude1 = "*,", .exclude2 = ",*"}
            << R"(["NORM,+1.2E-3,OK", "OVLD,-2.5E+0,OK"])"_ba << QStringList{}
            << "sep=;|Time;Sequence;Measured|T;1;+1.2E-3|T;2;-2.5E+0"_ba;
        QTest::newRow("S, exclusion before decimal notation, ','")
            << Case{.sep = ",", .exclude1 = "VDC", .decimal = true}
            << R"(["-0.5VDC", "1.2345E-03VDC"])"_ba << QStringList{}
            << "Sequence;Measured|1;-,5|2; ,0012345"_ba;
        QTest::newRow("TS, decimal notation: an invalid answer ends the run")
            << Case{.columns = "TS", .sequences = 4, .decimal = true, .end = Stopped}
            << R"(["1.000E+00", "+1.0E+00", "2"])"_ba << QStringList{"Measurement format error"}
            << "sep=;|Time From Start;Sequence;Measured|0:00:00;1; 1|Invalid Measurement, "
               "Sequence terminated by program.|+1.0E+00"_ba;
        QTest::newRow("P, a silent instrument: the run goes on")
            << Case{.columns = "P", .sequences = 3, .pads = {4, 3}} << TwoAnswers
            << QStringList{"I/O Error"}
            << "sep=;|Time;Measured|T;+1.000E+01VDC|T;|T;+1.050E+01VDC"_ba;
        QTest::newRow("T, 90 s: a minute, then the rest")
            << Case{.columns = "T", .interval = 90, .armed = {60000, 30000}} << TwoAnswers
            << QStringList{}
            << "sep=;|Time From Start;Measured|0:00:00;+1.000E+01VDC|0:01:30;+1.050E+01VDC"_ba;
        const QByteArray oneRow = "sep=;|Sequence;Measured|1;+1.000E+01VDC";
        const QByteArray twoRows = oneRow + "|2;+1.050E+01VDC";
        QTest::newRow("driver error, Cancel ends the program with every row so far")
            << Case{.sequences = 4, .pads = {3, 5}, .answers = {Answer::Cancel}, .end = Ended}
            << TwoAnswers << QStringList{"GPIB ERROR # 6"} << twoRows;
        QTest::newRow("Stop during a wait") << Case{.sequences = 5, .stopAtWait = 2, .end = Stopped}
                                            << TwoAnswers << QStringList{} << twoRows;
        QTest::newRow("closing stops, closes the log, then asks")
            << Case{.sequences = 5, .stopAtWait = 1, .byClosing = true, .end = Stopped}
            << TwoAnswers << QStringList{"Exit"} << oneRow;
        QTest::newRow("interval 0: no waits; a refused write ends the run")
            << Case{.sequences = 3, .interval = 0, .limitFile = true, .end = Stopped, .armed = {}}
            << TwoAnswers << QStringList{"File Error"} << twoRows;
        QTest::newRow("existing file, Yes, Yes: a third name")
            << Case{.sequences = 1, .answers = {Answer::Yes, Answer::Yes}, .existing = true}
            << TwoAnswers << QStringList(2, "File Error") << oneRow;
        QTest::newRow("existing file, No: replaced; one sequence: no wait")
            << Case{.sequences = 1, .answers = {Answer::No}, .existing = true, .armed = {}}
            << TwoAnswers << QStringList{"File Error"} << oneRow;
        QTest::newRow("existing file, Cancel: no run")
            << Case{.answers = {Answer::Cancel}, .existing = true, .end = NoRun} << TwoAnswers
            << QStringList{"File Error"} << Old;
        QTest::newRow("no x-axis column") << Case{.columns = "", .end = NoRun} << TwoAnswers
                                          << QStringList{"X-data Error"} << ""_ba;
        QTest::newRow("a name that climbs out of the folder")
            << Case{.name = "../escape.csv", .end = NoRun} << TwoAnswers
            << QStringList{"File Error"} << ""_ba;
        QTest::newRow("/sys refuses new files") << Case{.folder = "/sys", .end = NoRun}
                                                << TwoAnswers << QStringList{"File Error"} << ""_ba;
    }

    void run() {
        QFETCH(Case, c);
        QFETCH(QByteArray, replies);
        QFETCH(QStringList, boxes);
        QFETCH(QByteArray, file);
        // Instrument 3 measures; 4 stays silent and 5 refuses every write, for a run that
        // re-addresses the descriptor midway.
        FormFixture f(BenchJson(R"({ "address": 3, "status": "ieee488.2", "terminator": "\n",
                                     "delay_ms": 0, "replies": { "MEAS?": )" +
                                replies + R"( } }, { "address": 4, "replies": { "MEAS?": null } },
                      { "address": 5, "replies": { "MEAS?": { "write_error": 6 } } })"));
        QTemporaryDir dir;
        QVERIFY(f.bench.ok() && dir.isValid() && QDir(dir.path()).mkdir("log") && f.start());
        Ui::MainForm* ui = f.ui();
        ui->Text_Path->setText(c.folder.isEmpty() ? dir.filePath("log") : c.folder);
        if (!c.name.isEmpty()) ui->Text_FileName->setText(c.name);
        const auto log = [&](const QString& name = {}) {
            return ui->Text_Path->text() + "/" +
                   (name.isEmpty() ? ui->Text_FileName->text() : name);
        };
        f.form->Option_ID[2]->setChecked(true);
        f.form->Option_ID_Click(2);
        ui->Combo_Addr->setCurrentText("3");
        f.form->Button_Connect_Click();
        ui->Text_MeasQuery->setText("MEAS?");
        f.form->Text_Time[0]->setText(QString::number(std::max(c.interval, 1)));
        f.form->Text_Time[1]->setText(QString::number(c.sequences));
        f.form->Button_ApplyTime_Click();
        QVERIFY(f.form->Connected && f.form->TimeApplied);
        // Apply refuses an interval of 0; the run reads the value itself.
        if (c.interval == 0) f.form->IntervalSeconds = f.form->TotalSeconds = 0;
        for (int i = 0; i < 3; ++i)
            f.form->Check_Log[i]->setChecked(c.columns.contains("PTS"[i]));
        DecimalSeparator = c.sep;
        Exclude1 = c.exclude1;
        Exclude2 = c.exclude2;
        DecNotation = c.decimal;
        // As a stopped run leaves the window: the next run must start afresh.
        f.form->StopRequested = true;
        QPalette red = ui->Label_CurrentSequence->palette();
        red.setColor(QPalette::WindowText, Qt::red);
        ui->Label_CurrentSequence->setPalette(red);
        // Root passes every permission bit, but not the refusal of sysfs to create files.
        if (QFile probe(log()); c.folder == "/sys" && probe.open(QIODevice::WriteOnly))
            QSKIP("no folder here refuses the creation of a file");
        for (QFile old :
             c.existing ? QStringList{log("Test.csv"), log("Test_1.csv")} : QStringList())
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write(Crlf(Old)) == Crlf(Old).size());
        for (int i = 0; i < boxes.size(); ++i)
            f.sys.answerBox(c.answers.value(i, Answer::Ok), boxes[i]);
        if (c.byClosing) f.form->show();
        SettingsChanged = true; // so that closing asks
        QByteArrayList rows;
        QList<int> armed;
        bool held = false, askedDuringRun = false;
        QElapsedTimer sinceStop;
        QObject::connect(f.form.get(), &MainForm::rowLogged, [&](const QByteArray& row) {
            held = HeldOpen(log());
            if ((rows << row).size() <= c.pads.size())
                gpib::Bus().ibpad(DeviceUd, c.pads[rows.size() - 1]);
        });
        // Waits end at once, but for the one where Stop is clicked or the window closed.
        QObject::connect(f.form.get(), &MainForm::timerArmed, [&](int ms) {
            QTimer::singleShot(0, [&, n = (armed << ms).size()] {
                if (n != c.stopAtWait) return f.form->Timer1_Timer();
                sinceStop.start();
                c.byClosing ? void(f.form->close()) : ui->Button_Stop->click();
                askedDuringRun = !f.sys.boxes.isEmpty();
            });
        });
        rlimit unlimited{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        const rlimit limited = {rlim_t(Crlf(file).size()), unlimited.rlim_max};
        if (c.limitFile) setrlimit(RLIMIT_FSIZE, &limited);
        const QTime before = QTime::currentTime();
        try {
            f.form->Button_Start_Click();
        } catch (const platform::ProgramEnded&) {
        }
        const QTime after = QTime::currentTime();
        setrlimit(RLIMIT_FSIZE, &unlimited);

        QCOMPARE(f.sys.pendingAnswers(), 0);
        QCOMPARE(f.sys.ended, c.end == Ended);
        if (c.armed != QList<int>{-1}) QCOMPARE(armed, c.armed);
        // The folder holds the files that were there and the log, untouched or whole; nothing
        // is written above it.
        const QString logName = ui->Text_FileName->text();
        QStringList files = c.existing ? QStringList{"Test.csv", "Test_1.csv"} : QStringList();
        if (c.end != NoRun && !files.contains(logName)) files << logName;
        QCOMPARE(QDir(ui->Text_Path->text()).entryList(QDir::Files), files);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
        for (const QString& name : files)
            if (name != logName) QCOMPARE(ReadAll(log(name)), Crlf(Old));
        // The PC time is the wall clock: a time of day between start and end.
        const QByteArray raw = ReadAll(log());
        QByteArray normal = raw;
        for (QTime t = before.addSecs(-1); t <= after.addSecs(1); t = t.addSecs(1))
            normal.replace(PcTimeText(t).toLocal8Bit() + ';', "T;");
        if (files.contains(logName)) QCOMPARE(normal, Crlf(file));
        QVERIFY(!f.form->Running);
        if (c.end != Ended) QVERIFY(ui->Button_Start->isEnabled() && ui->Frame2->isEnabled());
        QCOMPARE(rows.isEmpty(), c.end == NoRun);
        if (c.end == NoRun) return;
        // What was reported is what reached the file; the answer box shows the last answer.
        QCOMPARE(raw.mid(raw.indexOf("Measured\r\n") + 10), rows.join("\r\n") + "\r\n");
        const QByteArray last = rows.last().split('\n').last().split(';').last().trimmed();
        if (!c.limitFile) QCOMPARE(ui->Text_MeasResponse->text(), QString::fromLatin1(last));
        QCOMPARE(f.form->CsvFile, log()); // the spreadsheet menus open this run's log
        if (c.end == Ended) return;
        QCOMPARE(ui->Label_CurrentSequence->text(), c.end);
        QCOMPARE(ui->Label_CurrentSequence->palette().color(QPalette::WindowText) == Qt::red,
                 c.end == Stopped);
        QCOMPARE(ui->ProgressBar1->value(), c.end == Stopped ? 0 : c.sequences);
        QVERIFY(!f.form->Timer1->isActive() && !ui->Button_Stop->isEnabled());
        QVERIFY(held && !HeldOpen(log())); // the log was open during the run, and is closed
        QVERIFY(!f.form->isVisible() && !askedDuringRun);
        // Nothing but the end of the run follows: neither the rest of a 1 s wait nor a query.
        if (c.stopAtWait) QVERIFY(sinceStop.isValid() && sinceStop.elapsed() < 500);
    }
};

QTEST_MAIN(TestRun)
#include "tst_run.moc"
