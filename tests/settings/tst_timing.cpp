// The Timing frame of the main window and the two waits that keep the window alive.
#include "FormFixture.h"
#include "bus/BusAccess.h"
#include "settings/SettingsStore.h"
#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <ctime>

namespace {
const QByteArray Bench = BenchJson(R"({ "address": 3, "replies": { "ID?": "M401A" } })");

// The frame as one text: the three boxes, the caption, flags (T applied, A Apply enabled,
// S Start enabled, C connected, M settings changed, F focus on box 0), IntervalSeconds,
// TotalSeconds, then every box shown.
QString Frame(FormFixture& f) {
    MainForm* m = f.form.get();
    const QString flags =
        QString(m->TimeApplied ? "T" : "") + (m->ui->Button_ApplyTime->isEnabled() ? "A" : "") +
        (m->ui->Button_Start->isEnabled() ? "S" : "") + (m->Connected ? "C" : "") +
        (SettingsChanged ? "M" : "") + (QApplication::focusWidget() == m->Text_Time[0] ? "F" : "");
    QStringList s;
    for (QLineEdit* box : m->Text_Time)
        s << box->text();
    s << m->ui->Frame3->title() << flags << QString::number(m->IntervalSeconds)
      << QString::number(m->TotalSeconds);
    for (const platform::BoxRecord& box : f.sys.boxes)
        s << box.title + ": " + box.text;
    return s.join('|');
}
} // namespace

class TestTiming : public QObject {
    Q_OBJECT

private slots:
    // Each row's name is the script run on the started window, which holds the start-up
    // entries (an applied 30 s interval, 21 sequences), an identification and a query.
    void frame_data() {
        QTest::addColumn<QString>("frame");
        auto row = [](const char* tag, const char* want) { QTest::newRow(tag) << QString(want); };
        row("0=30 2=1 apply", "30|121||  Every 30 seconds during 1 hour   |TM|30|3600");
        row("0=40 2=:1 apply",
            "40|3||  Every 40 seconds during 1 minute 20 seconds   |TM|40|80|Time mismatch: "
            "Total Minutes and Time Interval don't match exactly.\n"
            "Number of Sequences will be rounded up to 1 minute 20 seconds .");
        row("0=9 2=1:30 apply", "9|601||  Every 9 seconds during 1 hour 30 minutes   |TM|9|5400");
        row("1=1 apply", "30|1||  Every 30 seconds during   |TM|30|0");
        row("0=1 1=11 apply", "1|11||  Every 1 second during 10 seconds   |TM|1|10");
        row("0=2 1=11 apply", "2|11||  Every 2 seconds during 20 seconds   |TM|2|20");
        row("min 0=2:30 1=3 apply", "2:30|3||  Every 2:30 minutes during 5 minutes   |TMF|150|300");
        row("min 0=2 1=2 apply", "2|2||  Every 2 minutes during 2 minutes   |TMF|120|120");
        row("min 0=:30 1=3 apply", ":30|3||  Every :30 minute during 1 minute   |TMF|30|60");
        // Pasted text skips the key filter: ":5" is a positive check value but a zero interval.
        row("0=:5 2=1 apply", ":5||1|  Timing  |AM|0|600");
        row("0=0 apply", "0|21||  Timing  |M|30|600");
        row("2=0: apply", "30||0:|  Timing  |M|30|600");
        // The key filter of each box; count and total empty each other.
        row("0= 0+1a:2,3.B", "123|21||  Timing  |AM|30|600");
        row("min 0+2.3,0:", "2:30|21||  Timing  |AMF|30|600");
        row("min 0=5 2+1 1+1:2,3.4x", "5|1234||  Timing  |AMF|30|600");
        row("2+:<1,3.0:", "30||01:30|  Timing  |AM|30|600"); // ":" alone becomes "0:"
        row("1=5 1+!", "30|5||  Every 30 seconds during 2 minutes   |TM|30|120");
        row("1= 2+!", "30|||  Timing  |M|30|600");
        // Any edit unapplies and stops Start; applied again, the connected window may start.
        row("connect 1=5 apply", "30|5||  Every 30 seconds during 2 minutes   |TSCM|30|120");
        row("connect dbl1", "30|||  Timing  |CM|30|600");
        row("connect min", "|21||  Timing  |CMF|30|600");
        row("connect clear", "|||  Timing  |CMF|30|600");
    }
    void frame() {
        FormFixture f(Bench);
        QVERIFY(f.start());
        f.form->show();
        QVERIFY(QTest::qWaitForWindowActive(f.form.get()));
        f.ui()->Text_DeviceID->setText("M401A");
        f.ui()->Text_MeasQuery->setText("MEAS?");
        SettingsChanged = false;
        QFETCH(QString, frame);
        if (frame.contains("Time mismatch")) f.sys.answerBox(platform::Answer::Ok, "Time mismatch");
        // Steps: "min" (the Min unit), "connect", "apply", "clear", "dbl1" (double click on box
        // 1), "N=text" (pasted into box N) and "N+keys" (typed into box N; "<" is Backspace and
        // "!" Enter).
        for (const QString& step : QString(QTest::currentDataTag()).split(' ')) {
            QLineEdit* box = f.form->Text_Time[qBound(0, step[0].digitValue(), 2)];
            if (step == "min") f.form->Option_Time[1]->click();
            if (step == "connect") f.form->Button_Connect_Click();
            if (step == "apply") f.ui()->Button_ApplyTime->click();
            if (step == "clear") f.ui()->Button_Clear->click();
            if (step == "dbl1") QTest::mouseDClick(f.form->Text_Time[1], Qt::LeftButton);
            if (step[1] == '=') box->setText(step.mid(2));
            if (step[1] == '+')
                QTest::keyClicks(box, step.mid(2).replace('<', '\b').replace('!', '\r'));
        }
        QCOMPARE(Frame(f), frame);
    }

    void startTimerArmsWholeMinutesAndRest_data() {
        QTest::addColumn<float>("seconds");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<QList<int>>("armed");
        QTest::newRow("150") << 150.0f << false << QList<int>{60000, 60000, 30000};
        QTest::newRow("45") << 45.0f << false << QList<int>{45000};
        QTest::newRow("60 exactly") << 60.0f << false << QList<int>{60000};
        QTest::newRow("2.5 half to even") << 2.5f << false << QList<int>{2000};
        QTest::newRow("3.5 half to even") << 3.5f << false << QList<int>{4000};
        // Stop ends the remaining parts, and a later StartTimer(45), at once.
        QTest::newRow("150 stopped") << 150.0f << true << QList<int>{60000, 60000, 30000, 45000};
    }
    void startTimerArmsWholeMinutesAndRest() {
        QFETCH(float, seconds);
        QFETCH(bool, stop);
        FormFixture f(Bench);
        MainForm* form = f.form.get();
        // Each armed interval is recorded (negated when Timer1 does not run with it) and ticked
        // at once; with stop, the first part is stopped and later parts get only a late tick.
        QList<int> armed;
        QObject::connect(form, &MainForm::timerArmed, form, [&armed, form, stop](int ms) {
            armed << (form->Timer1->isActive() && form->Timer1->interval() == ms ? ms : -ms);
            const bool stopNow = stop && armed.size() == 1;
            QTimer::singleShot(stop && !stopNow ? 3000 : 0, form,
                               stopNow ? &MainForm::Button_Stop_Click : &MainForm::Timer1_Timer);
        });
        const QDeadlineTimer deadline(2000);
        form->StartTimer(seconds);
        if (stop) form->StartTimer(45);
        QVERIFY(!deadline.hasExpired());
        QTEST(armed, "armed");
        QVERIFY(!form->Timer1->isActive());
    }

    // Real waits: they must last their time without keeping a core busy.
    void waitsDoNotSpin() {
        FormFixture f(Bench);
        const auto check = [](const char* what, qint64 minMs, double maxCpu, auto wait) {
            QElapsedTimer clock;
            clock.start();
            const std::clock_t cpu0 = std::clock();
            wait();
            const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
            const qint64 wall = clock.elapsed();
            qInfo("%s: %lld ms elapsed, %.4f s CPU", what, wall, cpu);
            return wall >= minMs && wall < minMs + 1000 && cpu < maxCpu;
        };
        QVERIFY(check("StartTimer(5)", 4990, 1.0, [&] { f.form->StartTimer(5); }));
        QVERIFY(check("WaitSeconds(2)", 2000, 0.5, [] { WaitSeconds(2); }));
    }
};

QTEST_MAIN(TestTiming)
#include "tst_timing.moc"
