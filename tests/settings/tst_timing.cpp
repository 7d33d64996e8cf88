// The Timing frame of the main window and the two waits that keep the window alive.
#include "FormFixture.h"
#include "bus/BusAccess.h"
#include <QDeadlineTimer>
#include <QTest>
#include <QTimer>
#include <ctime>

const QByteArray Bench = BenchJson(R"({ "address": 3, "replies": { "ID?": "M401A" } })");

// The frame as one text: the three boxes, the caption, flags (T applied, A Apply enabled,
// S Start enabled, C connected, M settings changed, F focus on box 0), IntervalSeconds,
// TotalSeconds, then the title of every box shown.
static QString Frame(FormFixture& f) {
    const MainFormProbe& m = f.p;
    const QString flags = QString(m.timing.TimeApplied ? "T" : "") +
                          (m.ui->Button_ApplyTime->isEnabled() ? "A" : "") +
                          (m.ui->Button_Start->isEnabled() ? "S" : "") +
                          (m.connection.Connected ? "C" : "") + (m.settings.changed() ? "M" : "") +
                          (m.form.focusWidget() == m.Text_Time[0] ? "F" : "");
    QStringList s = {m.Text_Time[0]->text(), m.Text_Time[1]->text(), m.Text_Time[2]->text()};
    s << m.ui->Frame3->title() << flags << QString::number(m.timing.IntervalSeconds)
      << QString::number(m.timing.TotalSeconds);
    for (const platform::BoxRecord& box : f.sys.boxes)
        s << box.title;
    return s.join('|');
}

class TestTiming : public QObject {
    Q_OBJECT

private slots:
    // Each row's name is the script run on the started window, which holds the start-up
    // entries (an applied 30 s interval, 21 sequences), an identification and a query.
    void frame_data() {
        QTest::addColumn<QString>("frame");
        auto row = [](const char* tag, const char* want) { QTest::newRow(tag) << QString(want); };
        row("0=40 2=:1 Apply",
            "40|3||  Every 40 seconds during 1 minute 20 seconds   |TM|40|80|Time mismatch");
        // The boxes filter their keys; count and total empty each other.
        row("Min 0=5 2+1 1+1:2,3.4x", "5|1234||  Timing  |AMF|30|600");
        // Enter applies, but not while neither a count nor a total is entered.
        row("1=5 1+! dbl1 2+!", "30|||  Timing  |M|30|120");
        // Any edit unapplies and stops Start; applied again, the connected window may start.
        row("Connect 1=5 Apply", "30|5||  Every 30 seconds during 2 minutes   |TSCM|30|120");
        row("Connect Min", "|21||  Timing  |CMF|30|600");
    }
    void frame() {
        FormFixture f(Bench);
        QVERIFY(f.start());
        f.ui()->Text_DeviceID->setText("M401A");
        f.ui()->Text_MeasQuery->setText("MEAS?");
        f.p.settings.markSaved();
        f.sys.answerBox(platform::Answer::Ok, "Time mismatch"); // a box no other row may show
        // Steps: a button's text ("Min" is the unit), "dbl1" (double click on box 1), "N=text"
        // (pasted into box N) and "N+keys" (typed into box N; "<" is Backspace and "!" Enter).
        for (const QString& step : QString(QTest::currentDataTag()).split(' ')) {
            QLineEdit* box = f.p.Text_Time[qBound(0, step[0].digitValue(), 2)];
            for (QAbstractButton* button : f.form->findChildren<QAbstractButton*>())
                if (button->text().remove('&') == step) button->click();
            if (step == "dbl1") QTest::mouseDClick(f.p.Text_Time[1], Qt::LeftButton);
            if (step[1] == '=') box->setText(step.mid(2));
            if (step[1] == '+')
                QTest::keyClicks(box, step.mid(2).replace('<', '\b').replace('!', '\r'));
        }
        QTEST(Frame(f), "frame");
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

    // Real waits: they must last their time without keeping a core busy.
    void waitsDoNotSpin() {
        FormFixture f(Bench);
        for (const auto& [what, seconds] : {std::pair{"StartTimer(5)", 5}, {"WaitSeconds(2)", 2}}) {
            const std::clock_t cpu0 = std::clock();
            const qint64 t0 = QDeadlineTimer::current().deadline();
            seconds == 5 ? f.p.StartTimer(5) : WaitSeconds(2);
            const qint64 ms = QDeadlineTimer::current().deadline() - t0;
            const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
            qInfo("%s: %lld ms elapsed, %.4f s CPU", what, ms, cpu);
            QVERIFY(ms >= seconds * 1000 - 10 && ms < seconds * 1000 + 1000 && cpu < 0.5);
        }
    }
};

QTEST_MAIN(TestTiming)
#include "tst_timing.moc"
