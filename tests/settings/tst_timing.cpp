// The Timing frame of the main window and the two waits that keep the window alive.
#include "FormFixture.h"
#include "bus/BusAccess.h"
#include <QDeadlineTimer>
#include <QTest>
#include <QTimer>
#include <ctime>

const QByteArray Bench = BenchJson(R"({ "address": 3, "replies": { "ID?": "M401A" } })");

// The frame as one text: the three boxes, the caption, then flags (T applied, A Apply enabled,
// S Start enabled, C connected, F focus on box 0).
static QString Frame(FormFixture& f) {
    const MainFormProbe& m = f.p;
    return QStringList({m.Text_Time[0]->text(), m.Text_Time[1]->text(), m.Text_Time[2]->text(),
                        m.ui->Frame3->title(),
                        QString(m.timing.TimeApplied ? "T" : "") +
                            (m.ui->Button_ApplyTime->isEnabled() ? "A" : "") +
                            (m.ui->Button_Start->isEnabled() ? "S" : "") +
                            (m.connection.Connected ? "C" : "") +
                            (m.form.focusWidget() == m.Text_Time[0] ? "F" : "")})
        .join('|');
}

class TestTiming : public QObject {
    Q_OBJECT

private slots:
    // A walk through the frame of a started window that holds the start-up entries (an applied
    // 30 s interval, 21 sequences), an identification and a query.
    void frame() {
        FormFixture f(Bench);
        QVERIFY(f.start());
        f.ui()->Text_DeviceID->setText("M401A");
        f.ui()->Text_MeasQuery->setText("MEAS?");
        const std::array<QLineEdit*, 3>& box = f.p.Text_Time;
        box[0]->setText("40");
        box[2]->setText(":1");
        f.sys.answerBox(platform::Answer::Ok, "Time mismatch");
        f.ui()->Button_ApplyTime->click();
        QCOMPARE(f.sys.pendingAnswers(), 0);
        QCOMPARE(Frame(f), "40|3||  Every 40 seconds during 1 minute 20 seconds   |T");
        // Enter applies.
        QTest::mouseDClick(box[1], Qt::LeftButton); // empties it
        QTest::keyClicks(box[1], "5\r");
        QCOMPARE(Frame(f), "40|5||  Every 40 seconds during 2 minutes 40 seconds   |T");
        // Applied, the connected window may start; any edit unapplies and stops Start (Apply
        // waits for an interval). The boxes filter their keys; count and total empty each other.
        f.ui()->Button_Connect->click();
        f.ui()->Button_ApplyTime->click();
        QCOMPARE(Frame(f), "40|5||  Every 40 seconds during 2 minutes 40 seconds   |TSC");
        f.p.Option_Time[1]->click();
        QTest::keyClicks(box[2], "1");
        QTest::keyClicks(box[1], "1:2,3.4x");
        QCOMPARE(Frame(f), "|1234||  Timing  |CF"); // the new unit empties the interval
    }

    // The timer runs each part of the wait; Stop pressed during the first part must end the
    // remaining parts and a later StartTimer(45) at once.
    void startTimer() {
        FormFixture f(Bench);
        // Each armed interval is recorded (negated when Timer1 does not run with it); the first
        // part is stopped at once, later parts get only a late tick.
        QList<int> armed;
        QObject::connect(f.form.get(), &MainForm::timerArmed, f.form.get(), [&](int ms) {
            armed << (f.p.Timer1->isActive() && f.p.Timer1->interval() == ms ? ms : -ms);
            const bool first = armed.size() == 1;
            QTimer::singleShot(first ? 0 : 3000, f.form.get(), [&f, first] {
                first ? f.p.Button_Stop_Click() : f.p.Timer1_Timer();
            });
        });
        const QDeadlineTimer deadline(2000);
        f.p.StartTimer(150);
        f.p.StartTimer(45);
        QVERIFY(!deadline.hasExpired() && !f.p.Timer1->isActive());
        QCOMPARE(armed, QList<int>({60000, 60000, 30000, 45000}));
    }

    // Real waits, one after the other: they must last their time without keeping a core busy.
    void waitsDoNotSpin() {
        FormFixture f(Bench);
        const std::clock_t cpu0 = std::clock();
        const qint64 t0 = QDeadlineTimer::current().deadline();
        f.p.StartTimer(2);
        WaitSeconds(1);
        const qint64 ms = QDeadlineTimer::current().deadline() - t0;
        const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
        QVERIFY2(ms >= 2990 && ms < 4000 && cpu < 0.5,
                 qPrintable(QString("%1 ms, %2 s CPU").arg(ms).arg(cpu)));
    }
};

QTEST_MAIN(TestTiming)
#include "tst_timing.moc"
