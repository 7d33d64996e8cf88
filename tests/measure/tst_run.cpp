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
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using platform::Answer;

namespace {

// The measuring instrument at 3; 4 stays silent and 5 refuses every write, so that a test can
// make the instrument drop out by re-addressing the descriptor in the middle of a run.
QByteArray Bench(const QByteArray& measReplies = R"(["+1.000E+01VDC", "+1.050E+01VDC"])") {
    return BenchJson(R"({ "address": 3, "status": "ieee488.2", "terminator": "\n", "delay_ms": 0,
                          "replies": { "MEAS?": )" +
                     measReplies + R"(, "MUTE?": null } },
                     { "address": 4, "replies": { "MEAS?": null } },
                     { "address": 5, "replies": { "MEAS?": { "write_error": 6 } } })");
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// True while this process holds a descriptor on the file.
bool HeldOpen(const QString& path) {
    const QString wanted = QFileInfo(path).canonicalFilePath();
    const QDir fds("/proc/self/fd");
    for (const QString& fd : fds.entryList(QDir::Files | QDir::System))
        if (QFileInfo(fds.filePath(fd)).symLinkTarget() == wanted) return true;
    return false;
}

QByteArray Lines(const QList<QByteArray>& lines) {
    QByteArray out;
    for (const QByteArray& l : lines)
        out += l + "\r\n";
    return out;
}

QColor TextColour(const QWidget* w) {
    return w->palette().color(QPalette::WindowText);
}

// One main window, connected by address to the instrument, timing applied, logging into a
// temporary folder. Waits end at once unless a test hooks them.
struct Rig {
    explicit Rig(const QByteArray& bench = Bench()) : f(bench) {
        QObject::connect(f.form.get(), &MainForm::timerArmed, f.form.get(), [this](int ms) {
            armed << ms;
            if (onArm)
                onArm(int(armed.size()));
            else
                fireTimer();
        });
        QObject::connect(f.form.get(), &MainForm::rowLogged, f.form.get(),
                         [this](const QByteArray& row) {
                             rows << row;
                             shown << f.ui()->Text_MeasResponse->text();
                             if (onRow) onRow(int(rows.size()));
                         });
    }

    bool setUp(const QString& query, int sequences, int interval,
               std::array<bool, 3> columns = {false, false, true}) {
        if (!f.bench.ok() || !dir.isValid() || !f.start()) return false;
        f.ui()->Text_Path->setText(dir.path());
        f.form->Option_ID[2]->setChecked(true);
        f.form->Option_ID_Click(2);
        f.ui()->Combo_Addr->setCurrentText("3");
        f.form->Button_Connect_Click();
        f.ui()->Text_MeasQuery->setText(query);
        f.form->Text_Time[0]->setText(QString::number(std::max(interval, 1)));
        f.form->Text_Time[1]->setText(QString::number(sequences));
        f.form->Button_ApplyTime_Click();
        // Apply refuses an interval of 0; the run reads the value itself.
        if (interval == 0) f.form->IntervalSeconds = f.form->TotalSeconds = 0;
        for (int i = 0; i < 3; ++i)
            f.form->Check_Log[i]->setChecked(columns[i]);
        DecimalSeparator = ".";
        return f.form->Connected && f.form->TimeApplied;
    }

    void fireTimer() {
        QTimer::singleShot(0, f.form.get(), [this] { f.form->Timer1_Timer(); });
    }
    QString log(const QString& name = "Test.csv") const { return dir.filePath(name); }

    FormFixture f;
    QTemporaryDir dir;
    QList<QByteArray> rows;
    QStringList shown; // the answer box at the time of each row
    QList<int> armed;
    std::function<void(int)> onArm;
    std::function<void(int)> onRow;
};

} // namespace

class TestRun : public QObject {
    Q_OBJECT
private slots:
    void init() { DecimalSeparator = "."; }
    void xAxisColumns_data();
    void xAxisColumns();
    void answerProcessing_data();
    void answerProcessing();
    void invalidMeasurementEndsRun_data();
    void invalidMeasurementEndsRun();
    void silentInstrument_data();
    void silentInstrument();
    void waitsBetweenSequences_data();
    void waitsBetweenSequences();
    void stop_data();
    void stop();
    void existingFile_data();
    void existingFile();
    void openFailures_data();
    void openFailures();
    void noXAxisColumn();
    void writeFailureEndsRun();
    void closeDuringRun_data();
    void closeDuringRun();
    void driverErrorDuringRun_data();
    void driverErrorDuringRun();
};

void TestRun::xAxisColumns_data() {
    QTest::addColumn<bool>("pc");
    QTest::addColumn<bool>("fromStart");
    QTest::addColumn<bool>("sequence");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("row1"); // without the PC time field
    QTest::addColumn<QByteArray>("row2");
    QTest::newRow("all") << true << true << true << "."
                         << "Time;Time From Start;Sequence;Measured"_ba
                         << "0:00:00;1;+1.000E+01VDC"_ba
                         << "0:00:01;2;+1.050E+01VDC"_ba;
    QTest::newRow("pc+start") << true << true << false << "."
                              << "Time;Time From Start;Measured"_ba
                              << "0:00:00;+1.000E+01VDC"_ba
                              << "0:00:01;+1.050E+01VDC"_ba;
    QTest::newRow("pc+seq") << true << false << true << "."
                            << "Time;Sequence;Measured"_ba
                            << "1;+1.000E+01VDC"_ba
                            << "2;+1.050E+01VDC"_ba;
    QTest::newRow("start+seq") << false << true << true << "."
                               << "Time From Start;Sequence;Measured"_ba
                               << "0:00:00;1;+1.000E+01VDC"_ba
                               << "0:00:01;2;+1.050E+01VDC"_ba;
    QTest::newRow("pc") << true << false << false << "."
                        << "Time;Measured"_ba
                        << "+1.000E+01VDC"_ba
                        << "+1.050E+01VDC"_ba;
    QTest::newRow("start") << false << true << false << "."
                           << "Time From Start;Measured"_ba
                           << "0:00:00;+1.000E+01VDC"_ba
                           << "0:00:01;+1.050E+01VDC"_ba;
    QTest::newRow("seq") << false << false << true << "."
                         << "Sequence;Measured"_ba
                         << "1;+1.000E+01VDC"_ba
                         << "2;+1.050E+01VDC"_ba;
    QTest::newRow("all, comma") << true << true << true << ","
                                << "Time;Time From Start;Sequence;Measured"_ba
                                << "0:00:00;1;+1,000E+01VDC"_ba
                                << "0:00:01;2;+1,050E+01VDC"_ba;
    QTest::newRow("seq, comma") << false << false << true << ","
                                << "Sequence;Measured"_ba
                                << "1;+1,000E+01VDC"_ba
                                << "2;+1,050E+01VDC"_ba;
}

void TestRun::xAxisColumns() {
    QFETCH(bool, pc);
    QFETCH(bool, fromStart);
    QFETCH(bool, sequence);
    QFETCH(QString, separator);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, row1);
    QFETCH(QByteArray, row2);

    Rig r;
    QVERIFY(r.setUp("MEAS?", 2, 1, {pc, fromStart, sequence}));
    DecimalSeparator = separator;
    bool heldDuringRun = false;
    r.onRow = [&](int) { heldDuringRun = HeldOpen(r.log()); };
    const QTime before = QTime::currentTime();
    r.f.form->Button_Start_Click();
    const QTime after = QTime::currentTime();

    const QByteArray file = ReadAll(r.log());
    QList<QByteArray> lines = file.split('\n');
    QCOMPARE(lines.takeLast(), QByteArray()); // the last line is ended too
    for (const QByteArray& l : lines)
        QVERIFY2(l.endsWith('\r'), l.constData());
    if (separator == ".") QCOMPARE(lines.takeFirst(), "sep=;\r"_ba);
    QCOMPARE(lines.takeFirst(), header + '\r');
    QCOMPARE(lines.size(), 2);

    // The PC time is the wall clock: it must be a time of day between start and end.
    QStringList possible;
    for (QTime t = before.addSecs(-1); t <= after.addSecs(1); t = t.addSecs(1))
        possible << PcTimeText(t);
    const QList<QByteArray> expected = {row1, row2};
    for (int i = 0; i < 2; ++i) {
        QByteArray line = lines[i].chopped(1);
        if (pc) {
            const qsizetype cut = line.indexOf(';');
            QVERIFY(cut > 0);
            QVERIFY2(possible.contains(QString::fromLocal8Bit(line.left(cut))), line.constData());
            line = line.mid(cut + 1);
        }
        QCOMPARE(line, expected[i]);
        QCOMPARE(r.rows[i], lines[i].chopped(1)); // what was reported is what was written
    }
    QCOMPARE(r.armed, QList<int>({1000}));
    QCOMPARE(r.f.ui()->Label_CurrentSequence->text(), "Completed");
    QCOMPARE(r.f.ui()->ProgressBar1->value(), 2);
    QVERIFY(heldDuringRun);
    QVERIFY(!HeldOpen(r.log()));
}

void TestRun::answerProcessing_data() {
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QByteArray>("exclude1");
    QTest::addColumn<QByteArray>("exclude2");
    QTest::addColumn<bool>("decNotation");
    QTest::addColumn<QByteArray>("replies");
    QTest::addColumn<QByteArrayList>("fields");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("comma in answer, '.'")
        << "."
        << ""_ba
        << ""_ba << false << R"(["3,14", "1,234,5"])"_ba << QByteArrayList{"3.14", "1.234,5"}
        << QStringList{"3.14", "1.234,5"};
    QTest::newRow("exclude unit") << "."
                                  << "VDC"_ba
                                  << ""_ba << false << R"(["+1.000E+01VDC", "+1.050E+01VDC"])"_ba
                                  << QByteArrayList{"+1.000E+01", "+1.050E+01"}
                                  << QStringList{"+1.000E+01", "+1.050E+01"};
    QTest::newRow("two exclusions, second on the first's result")
        << "."
        << "*,"_ba
        << ",*"_ba << false << R"(["NORM,+1.2E-3,OK", "OVLD,-2.5E+0,OK"])"_ba
        << QByteArrayList{"+1.2E-3", "-2.5E+0"} << QStringList{"+1.2E-3", "-2.5E+0"};
    QTest::newRow("exclusion, ','")
        << ","
        << "VDC"_ba
        << ""_ba << false << R"(["+1.000E+01VDC", "2.5VDC"])"_ba
        << QByteArrayList{"+1,000E+01", "2,5"} << QStringList{"+1,000E+01", "2,5"};
    QTest::newRow("decimal notation, '.'")
        << "."
        << ""_ba
        << ""_ba << true << R"(["1.2345E-03", "-4.5E+02"])"_ba
        << QByteArrayList{" .0012345", "-450"} << QStringList{".0012345", "-450"};
    QTest::newRow("decimal notation, ','")
        << ","
        << ""_ba
        << ""_ba << true << R"(["1.2345E-03", "-0.5"])"_ba << QByteArrayList{" ,0012345", "-,5"}
        << QStringList{",0012345", "-,5"};
    QTest::newRow("exclusion before notation")
        << "."
        << "VDC"_ba
        << ""_ba << true << R"(["1.000E+01VDC", "1.000E+00VDC"])"_ba << QByteArrayList{" 10", " 1"}
        << QStringList{"10", "1"};
}

void TestRun::answerProcessing() {
    QFETCH(QString, separator);
    QFETCH(QByteArray, exclude1);
    QFETCH(QByteArray, exclude2);
    QFETCH(bool, decNotation);
    QFETCH(QByteArray, replies);
    QFETCH(QByteArrayList, fields);
    QFETCH(QStringList, shown);

    Rig r(Bench(replies));
    QVERIFY(r.setUp("MEAS?", 2, 0));
    DecimalSeparator = separator;
    Exclude1 = exclude1;
    Exclude2 = exclude2;
    DecNotation = decNotation;
    r.f.form->Button_Start_Click();

    QList<QByteArray> lines;
    if (separator == ".") lines << "sep=;";
    lines << "Sequence;Measured"
          << "1;" + fields[0] << "2;" + fields[1];
    QCOMPARE(ReadAll(r.log()), Lines(lines));
    QCOMPARE(r.shown, shown);
    QCOMPARE(r.f.ui()->Label_CurrentSequence->text(), "Completed");
}

void TestRun::invalidMeasurementEndsRun_data() {
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QByteArray>("invalidRow");
    QTest::newRow("'.'") << "."
                         << "Invalid Measurement, Sequence terminated by program.\r\n+1.0E+00"_ba;
    QTest::newRow("','") << ","
                         << "Invalid Measurement, Sequence terminated by program.\r\n+1,0E+00"_ba;
}

void TestRun::invalidMeasurementEndsRun() {
    QFETCH(QString, separator);
    QFETCH(QByteArray, invalidRow);

    Rig r(Bench(R"(["1.000E+00", "+1.0E+00", "2"])"));
    QVERIFY(r.setUp("MEAS?", 4, 1, {false, true, true}));
    DecimalSeparator = separator;
    DecNotation = true;
    r.f.sys.answerBox(Answer::Ok, "Measurement format error");
    r.f.form->Button_Start_Click();

    QCOMPARE(r.f.sys.boxes.size(), 1);
    QCOMPARE(r.f.sys.boxes[0].icon, platform::Icon::Critical);
    QCOMPARE(r.f.sys.boxes[0].text,
             "Convert Measurement to Decimal notation is activated.\n"
             "This works only if the Measurement string begins with a number.\n"
             "The current Measurement is:\n"
             "+1.0E+00\n"
             "\n"
             "To continue with this type of Measurement click the Test button.\n"
             "The Convert check box will be unticked when Test is opened so you\n"
             "could either continue by click OK or go on and define exclusions first.\n"
             "\n"
             "This sequence will be terminated.");
    QList<QByteArray> lines;
    if (separator == ".") lines << "sep=;";
    lines << "Time From Start;Sequence;Measured"
          << "0:00:00;1; 1" << invalidRow;
    QCOMPARE(ReadAll(r.log()), Lines(lines));
    QCOMPARE(r.rows.size(), 2); // no third query
    QCOMPARE(r.f.ui()->Label_CurrentSequence->text(), "Stop'd by User");
    QCOMPARE(TextColour(r.f.ui()->Label_CurrentSequence), QColor(255, 0, 0));
    QCOMPARE(r.f.ui()->ProgressBar1->value(), 0);
    QVERIFY(r.f.ui()->Button_Start->isEnabled());
    QVERIFY(!r.f.ui()->Button_Stop->isEnabled());
}

void TestRun::silentInstrument_data() {
    QTest::addColumn<bool>("decNotation");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("endState");
    QTest::newRow("the run goes on")
        << false
        << QList<QByteArray>{"sep=;", "Sequence;Measured", "1;1.000E+01", "2;", "3;1.050E+01"}
        << QStringList{"I/O Error"} << "Completed";
    QTest::newRow("decimal notation: invalid")
        << true
        << QList<QByteArray>{"sep=;", "Sequence;Measured", "1; 10",
                             "Invalid Measurement, Sequence terminated by program.\r\n"}
        << QStringList{"I/O Error", "Measurement format error"} << "Stop'd by User";
}

void TestRun::silentInstrument() {
    QFETCH(bool, decNotation);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QStringList, boxes);
    QFETCH(QString, endState);

    Rig r(Bench(R"(["1.000E+01", "1.050E+01"])"));
    QVERIFY(r.setUp("MEAS?", 3, 0));
    DecNotation = decNotation;
    // The instrument stops answering for the second sequence only.
    r.onRow = [](int n) { gpib::Bus().ibpad(DeviceUd, n == 1 ? 4 : 3); };
    for (const QString& title : boxes)
        r.f.sys.answerBox(Answer::Ok, title);
    r.f.form->Button_Start_Click();

    QStringList titles;
    for (const auto& b : r.f.sys.boxes)
        titles << b.title;
    QCOMPARE(titles, boxes);
    QCOMPARE(r.f.sys.boxes[0].text, "Read cycle failed\nOperation aborted.");
    QCOMPARE(ReadAll(r.log()), Lines(lines));
    QCOMPARE(r.f.ui()->Label_CurrentSequence->text(), endState);
}

void TestRun::waitsBetweenSequences_data() {
    QTest::addColumn<int>("sequences");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QList<int>>("armed");
    QTest::addColumn<QList<QByteArray>>("rows");
    QTest::newRow("one sequence: no wait")
        << 1 << 30 << QList<int>{} << QList<QByteArray>{"0:00:00;1;+1.000E+01VDC"};
    QTest::newRow("interval 0: back to back")
        << 3 << 0 << QList<int>{}
        << QList<QByteArray>{"0:00:00;1;+1.000E+01VDC", "0:00:00;2;+1.050E+01VDC",
                             "0:00:00;3;+1.050E+01VDC"};
    QTest::newRow("90 s: a minute, then the rest")
        << 3 << 90 << QList<int>{60000, 30000, 60000, 30000}
        << QList<QByteArray>{"0:00:00;1;+1.000E+01VDC", "0:01:30;2;+1.050E+01VDC",
                             "0:03:00;3;+1.050E+01VDC"};
}

void TestRun::waitsBetweenSequences() {
    QFETCH(int, sequences);
    QFETCH(int, interval);
    QFETCH(QList<int>, armed);
    QFETCH(QList<QByteArray>, rows);

    Rig r;
    QVERIFY(r.setUp("MEAS?", sequences, interval, {false, true, true}));
    r.f.form->Button_Start_Click();

    QCOMPARE(r.armed, armed);
    QCOMPARE(ReadAll(r.log()),
             Lines(QList<QByteArray>{"sep=;", "Time From Start;Sequence;Measured"} + rows));
    QCOMPARE(r.f.ui()->Label_CurrentSequence->text(), "Completed");
    QCOMPARE(r.f.ui()->Label_RemainingSequences->text(), "0");
    QCOMPARE(r.f.ui()->ProgressBar1->value(), sequences);
    QVERIFY(!r.f.form->Timer1->isActive());
    QVERIFY(r.f.ui()->Button_Start->isEnabled());
    QVERIFY(r.f.ui()->Frame2->isEnabled());
    QVERIFY(!HeldOpen(r.log()));
}

void TestRun::stop_data() {
    QTest::addColumn<bool>("duringWait"); // else during the second query's pause
    QTest::newRow("during a wait") << true;
    QTest::newRow("during a query") << false;
}

void TestRun::stop() {
    QFETCH(bool, duringWait);

    Rig r;
    QVERIFY(r.setUp("MEAS?", 5, duringWait ? 1 : 0));
    QElapsedTimer sinceStop;
    auto clickStop = [&] {
        QVERIFY(r.f.ui()->Button_Stop->isEnabled());
        r.f.ui()->Button_Stop->click();
        sinceStop.start();
    };
    if (duringWait) {
        r.onArm = [&](int n) {
            if (n == 2)
                QTimer::singleShot(0, r.f.form.get(), clickStop);
            else
                r.fireTimer();
        };
    } else {
        r.onRow = [&](int n) {
            if (n == 1) QTimer::singleShot(20, r.f.form.get(), clickStop);
        };
    }
    r.f.form->Button_Start_Click();

    QVERIFY(sinceStop.isValid());
    // Nothing more than the end of the run follows the click: neither the rest of a 1 s
    // wait nor another query.
    QVERIFY2(sinceStop.elapsed() < 500, QByteArray::number(sinceStop.elapsed()));
    QCOMPARE(ReadAll(r.log()),
             Lines({"sep=;", "Sequence;Measured", "1;+1.000E+01VDC", "2;+1.050E+01VDC"}));
    QCOMPARE(r.f.ui()->Label_CurrentSequence->text(), "Stop'd by User");
    QCOMPARE(TextColour(r.f.ui()->Label_CurrentSequence), QColor(255, 0, 0));
    QCOMPARE(r.f.ui()->ProgressBar1->value(), 0);
    QVERIFY(!r.f.form->Timer1->isActive());
    QVERIFY(r.f.ui()->Button_Start->isEnabled());
    QVERIFY(!r.f.ui()->Button_Stop->isEnabled());
    QVERIFY(r.f.ui()->Frame1->isEnabled() && r.f.ui()->Frame2->isEnabled() &&
            r.f.ui()->Frame3->isEnabled());
    QVERIFY(!HeldOpen(r.log()));

    // The next run starts afresh: the colour and the stop request are reset.
    r.onArm = nullptr;
    r.onRow = nullptr;
    r.f.form->Text_Time[1]->setText("1");
    r.f.form->Button_ApplyTime_Click();
    r.f.sys.answerBox(Answer::No, "File Error");
    r.f.form->Button_Start_Click();
    QCOMPARE(r.f.ui()->Label_CurrentSequence->text(), "Completed");
    QCOMPARE(ReadAll(r.log()).count("\r\n"), 3);
}

void TestRun::existingFile_data() {
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QString>("finalName"); // the name box after the start
    QTest::addColumn<QString>("written");   // the file the run wrote, empty: no run
    QTest::newRow("Yes, Yes: a third name")
        << QList<Answer>{Answer::Yes, Answer::Yes} << "Test_2.csv"
        << "Test_2.csv";
    QTest::newRow("Yes, No: replaces the second")
        << QList<Answer>{Answer::Yes, Answer::No} << "Test_1.csv"
        << "Test_1.csv";
    QTest::newRow("No: replaces") << QList<Answer>{Answer::No} << "Test.csv"
                                  << "Test.csv";
    QTest::newRow("Cancel") << QList<Answer>{Answer::Cancel} << "Test.csv"
                            << "";
    QTest::newRow("Yes, Cancel") << QList<Answer>{Answer::Yes, Answer::Cancel} << "Test_1.csv"
                                 << "";
}

void TestRun::existingFile() {
    QFETCH(QList<Answer>, answers);
    QFETCH(QString, finalName);
    QFETCH(QString, written);

    Rig r;
    QVERIFY(r.setUp("MEAS?", 1, 0));
    // Longer than the new log, so that a file that is not emptied shows.
    const QByteArray old = QByteArray("old content, not a log\r\n").repeated(100);
    QVERIFY(WriteFile(r.log("Test.csv"), old));
    QVERIFY(WriteFile(r.log("Test_1.csv"), old));
    {
        QFile first(r.log("Test.csv"));
        QVERIFY(first.open(QIODevice::ReadWrite));
        QVERIFY(first.setFileTime(QDateTime(QDate(2001, 1, 1), QTime(0, 0)),
                                  QFileDevice::FileModificationTime));
    }
    for (Answer a : answers)
        r.f.sys.answerBox(a, "File Error");
    const QString labelBefore = r.f.ui()->Label_CurrentSequence->text();
    r.f.form->Button_Start_Click();

    QCOMPARE(r.f.sys.boxes.size(), answers.size());
    const QStringList names = {"Test.csv", "Test_1.csv", "Test_2.csv"};
    for (int i = 0; i < answers.size(); ++i) {
        QCOMPARE(r.f.sys.boxes[i].buttons, platform::Buttons::YesNoCancel);
        QCOMPARE(r.f.sys.boxes[i].icon, platform::Icon::Warning);
        QCOMPARE(r.f.sys.boxes[i].text,
                 "The file " + names[i] + " already exists.\n\nSelect:\nYes to use  " +
                     names[i + 1] + "  instead.\nNo to replace  " + names[i] + " .");
    }
    QCOMPARE(r.f.ui()->Text_FileName->text(), finalName);

    const QByteArray log = Lines({"sep=;", "Sequence;Measured", "1;+1.000E+01VDC"});
    for (const QString& name : names) {
        const QByteArray content = ReadAll(r.log(name));
        if (name == written)
            QCOMPARE(content, log);
        else if (name == "Test_2.csv")
            QVERIFY(!QFileInfo::exists(r.log(name)));
        else
            QCOMPARE(content, old);
    }
    QCOMPARE(QDir(r.dir.path()).entryList(QDir::Files).size(), written == "Test_2.csv" ? 3 : 2);
    if (written.isEmpty()) {
        QVERIFY(r.rows.isEmpty());
        QCOMPARE(QFileInfo(r.log("Test.csv")).lastModified().date(), QDate(2001, 1, 1));
        QCOMPARE(r.f.ui()->Label_CurrentSequence->text(), labelBefore);
        QVERIFY(!r.f.form->Running);
        QVERIFY(r.f.ui()->Frame2->isEnabled());
    } else {
        QVERIFY(r.f.form->CsvFile.endsWith("/" + written));
        QCOMPARE(r.f.ui()->Label_CurrentSequence->text(), "Completed");
    }
}

void TestRun::openFailures_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("folder under a regular file") << "notdir"
                                                 << "Invalid File Name: Test.csv.";
    QTest::newRow("name that climbs out of the folder") << "escape"
                                                        << "Invalid File Name: ../escape.csv.";
    QTest::newRow("name with a folder inside") << "subfolder"
                                               << "Invalid File Name: sub/x.csv.";
    QTest::newRow("folder refusing new files")
        << "permission"
        << "Permission denied. File probably already open by other program.";
    QTest::newRow("a folder where the file should be") << "isdir"
                                                       << "Can't open file Test.csv.";
}

void TestRun::openFailures() {
    QFETCH(QString, kind);
    QFETCH(QString, text);

    Rig r;
    QVERIFY(r.setUp("MEAS?", 2, 0));
    const QString inner = r.dir.filePath("inner");
    QVERIFY(QDir().mkpath(inner + "/sub"));
    if (kind == "notdir") {
        QVERIFY(WriteFile(r.dir.filePath("plain"), "x"));
        r.f.ui()->Text_Path->setText(r.dir.filePath("plain"));
    } else if (kind == "escape") {
        r.f.ui()->Text_Path->setText(inner);
        r.f.ui()->Text_FileName->setText("../escape.csv");
    } else if (kind == "subfolder") {
        r.f.ui()->Text_Path->setText(inner);
        r.f.ui()->Text_FileName->setText("sub/x.csv");
    } else if (kind == "permission") {
        // Root passes every permission bit, but not the refusal of sysfs to create files.
        const int fd = ::open("/sys/Test.csv", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int error = errno;
        if (fd >= 0) ::close(fd);
        if (fd >= 0 || (error != EACCES && error != EPERM))
            QSKIP("no folder here refuses the creation of a file");
        r.f.ui()->Text_Path->setText("/sys");
    } else if (kind == "isdir") {
        QVERIFY(QDir().mkpath(r.log()));
        r.f.sys.answerBox(Answer::No, "File Error");
    }
    r.f.sys.answerBox(Answer::Ok, "File Error");
    r.f.form->Button_Start_Click();

    QCOMPARE(r.f.sys.boxes.last().title, "File Error");
    QCOMPARE(r.f.sys.boxes.last().text, text);
    QCOMPARE(r.f.sys.boxes.last().icon, platform::Icon::Critical);
    QCOMPARE(r.f.sys.pendingAnswers(), 0);
    QVERIFY(r.rows.isEmpty());
    QVERIFY(!r.f.form->Running);
    QVERIFY(r.f.ui()->Button_Start->isEnabled());
    QVERIFY(r.f.ui()->Frame2->isEnabled());
    // Nothing is written anywhere near the chosen folder.
    QVERIFY(!QFileInfo::exists(r.dir.filePath("escape.csv")));
    QVERIFY(!QFileInfo::exists(inner + "/sub/x.csv"));
    QCOMPARE(QDir(inner).entryList(QDir::Files).size(), 0);
}

void TestRun::noXAxisColumn() {
    Rig r;
    QVERIFY(r.setUp("MEAS?", 2, 0, {false, false, false}));
    r.f.sys.answerBox(Answer::Ok, "X-data Error");
    r.f.form->Button_Start_Click();
    QCOMPARE(r.f.sys.boxes.size(), 1);
    QCOMPARE(r.f.sys.boxes[0].text, "At least one option for X-data must be selected.");
    QVERIFY(!QFileInfo::exists(r.log()));
    QVERIFY(r.rows.isEmpty());
}

void TestRun::writeFailureEndsRun() {
    Rig r;
    QVERIFY(r.setUp("MEAS?", 3, 0));
    const QByteArray fits = Lines({"sep=;", "Sequence;Measured", "1;+1.000E+01VDC"});
    // A file size limit makes the system refuse the second row, as a full disk would.
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = rlim_t(fits.size());
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    r.f.sys.answerBox(Answer::Ok, "File Error");
    r.f.form->Button_Start_Click();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(r.f.sys.boxes.size(), 1);
    QCOMPARE(r.f.sys.boxes[0].text, "Can't write file Test.csv.");
    QCOMPARE(r.f.sys.boxes[0].icon, platform::Icon::Critical);
    QCOMPARE(ReadAll(r.log()), fits);
    QCOMPARE(r.rows, QList<QByteArray>{"1;+1.000E+01VDC"}); // only what reached the file
    QCOMPARE(r.f.ui()->Label_CurrentSequence->text(), "Stop'd by User");
    QVERIFY(r.f.ui()->Button_Start->isEnabled());
    QVERIFY(!HeldOpen(r.log()));
}

void TestRun::closeDuringRun_data() {
    QTest::addColumn<Answer>("exitAnswer");
    QTest::addColumn<bool>("stillOpen");
    QTest::newRow("Cancel keeps the window") << Answer::Cancel << true;
    QTest::newRow("No closes it") << Answer::No << false;
}

void TestRun::closeDuringRun() {
    QFETCH(Answer, exitAnswer);
    QFETCH(bool, stillOpen);

    Rig r;
    QVERIFY(r.setUp("MEAS?", 5, 1));
    r.f.form->show();
    SettingsChanged = true;
    bool askedDuringRun = true;
    r.onArm = [&](int) {
        QTimer::singleShot(0, r.f.form.get(), [&] {
            r.f.form->close();
            // The question waits until the run has ended and closed its log.
            askedDuringRun = !r.f.sys.boxes.isEmpty();
        });
    };
    r.f.sys.answerBox(exitAnswer, "Exit");
    r.f.form->Button_Start_Click();

    QVERIFY(!askedDuringRun);
    QCOMPARE(r.f.sys.boxes.size(), 1);
    QCOMPARE(r.f.sys.boxes[0].text, "Do you want to save the Startup settings ?");
    QCOMPARE(r.armed.size(), 1);
    QCOMPARE(ReadAll(r.log()), Lines({"sep=;", "Sequence;Measured", "1;+1.000E+01VDC"}));
    QVERIFY(!HeldOpen(r.log()));
    QCOMPARE(r.f.ui()->Label_CurrentSequence->text(), "Stop'd by User");
    QCOMPARE(r.f.form->isVisible(), stillOpen);
    QVERIFY(!r.f.form->CloseAfterRun);
}

void TestRun::driverErrorDuringRun_data() {
    QTest::addColumn<Answer>("answer");
    QTest::newRow("Cancel ends the program") << Answer::Cancel;
    QTest::newRow("OK goes on") << Answer::Ok;
}

void TestRun::driverErrorDuringRun() {
    QFETCH(Answer, answer);

    Rig r;
    QVERIFY(r.setUp("MEAS?", 4, 1, {false, true, true}));
    // The third query goes to an instrument that refuses it.
    r.onRow = [](int n) { gpib::Bus().ibpad(DeviceUd, n == 2 ? 5 : 3); };
    r.f.sys.answerBox(answer, "GPIB ERROR # 6");
    QList<QByteArray> lines = {"sep=;", "Time From Start;Sequence;Measured",
                               "0:00:00;1;+1.000E+01VDC", "0:00:01;2;+1.050E+01VDC"};
    if (answer == Answer::Cancel) {
        QVERIFY_THROWS_EXCEPTION(platform::ProgramEnded, r.f.form->Button_Start_Click());
        QVERIFY(r.f.sys.ended);
    } else {
        r.f.form->Button_Start_Click();
        lines << "0:00:02;3;"
              << "0:00:03;4;+1.050E+01VDC";
        QCOMPARE(r.f.ui()->Label_CurrentSequence->text(), "Completed");
    }
    QCOMPARE(r.f.sys.boxes.size(), 1);
    QCOMPARE(r.f.sys.boxes[0].text,
             "I/O operation aborted - timeout.\nSelect OK to continue or Cancel to terminate "
             "program.");
    // Every row written before the end is in the file, whole.
    QCOMPARE(ReadAll(r.log()), Lines(lines));
}

QTEST_MAIN(TestRun)
#include "tst_run.moc"
