// Never the wrong instrument: while one window's bus transaction is under way, no window starts
// other traffic or re-addresses the shared descriptor, and closing waits for it. The benches
// answer slowly on the worker thread, as the program's do; the scenarios click and pick menu
// items as a user does, and the bench journal shows where every message went.
#include "Focus.h"
#include "FormFixture.h"
#include "bus/BusActivity.h"
#include "measure/ui/TestForm.h"
#include "terminal/TerminalFixture.h"
#include "ui_TestForm.h"
#include "widgets/BusGate.h"
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QtTest>
#include <functional>
#include <optional>

using platform::Answer;

namespace {

// Identification answers of 7 and 12 take 500 ms; a read waits up to 1 s (timeouts at a tenth).
const QByteArray MainBench = R"(
    { "address": 3, "replies": { "ID?": "METER 3", "TEMP?": "3.3" } },
    { "address": 7, "replies": { "ID?": { "answer": "SWITCH 7", "delay_ms": 500 } } },
    { "address": 12, "replies": { "ID?": { "answer": "PROBE 12", "delay_ms": 500 },
                                  "TEMP?": "21.5" } })";
const QByteArray TerminalBench = R"(
    { "address": 3, "replies": { "ID?": "METER 3" } },
    { "address": 9, "replies": { "ID?": "SWITCH 9" } },
    { "address": 22, "replies": { "ID?": { "answer": "PROBE 22", "delay_ms": 300 },
                                  "SLOW?": { "answer": "LATE", "delay_ms": 300 } } })";

// The messages written, in order, as "address W text".
QStringList Written(const QString& journal) {
    return JournalText(journal).split('\n', Qt::SkipEmptyParts).filter(" W ");
}

// Runs an action once, as soon as the journal gets a line: while that message's answer is still
// awaited.
struct OnJournal {
    OnJournal(const QString& journal, const QString& line, std::function<void()> act) {
        const qsizetype old = JournalText(journal).count('\n');
        QObject::connect(&timer, &QTimer::timeout, [this, journal, line, act, old] {
            if (!JournalText(journal).split('\n').mid(old).contains(line)) return;
            timer.stop();
            act();
        });
        timer.start(5);
    }
    QTimer timer;
};

// Runs an action once, when the next transaction begins: at once, or at its first yield to
// events.
struct OnTransaction {
    OnTransaction(gpib::BusActivity& activity, bool atYield, std::function<void()> act) {
        QObject::connect(&activity, &gpib::BusActivity::busyChanged, &scope,
                         [this, atYield, act](bool busy) {
                             if (!busy || done) return;
                             done = true;
                             atYield ? QTimer::singleShot(0, &scope, act) : act();
                         });
    }
    QObject scope;
    bool done = false;
};

// Closes every modal window that opens, and counts them.
struct ModalCloser {
    ModalCloser() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) opened += bool(modal->close());
        });
        timer.start(10);
    }
    int opened = 0;
    QTimer timer;
};

// Picks a menu item with the mouse. A disabled item leaves its menu open; it is closed then.
void Choose(QAction* item) {
    QMenu* menu = nullptr;
    for (QObject* o : item->associatedObjects())
        if ((menu = qobject_cast<QMenu*>(o))) break;
    QVERIFY(menu);
    menu->popup(QPoint(0, 0));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    menu->hide();
}

void Click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton);
}

// The main window on the slow bench, recalled to look for PROBE (or to address 12 by hand) and
// to measure TEMP? once.
struct Main {
    explicit Main(bool byAddress = false, bool worker = true)
        : f(BenchJson(MainBench, dir.filePath("journal"), 0.1), worker) {
        const QMap<QString, QString> set = {
            {"Device", "PROBE"},        {"Query", "TEMP?"},          {"Interval", "1"},
            {"Sequence", "1"},          {"LogFilePath", dir.path()}, {"ID", byAddress ? "2" : "0"},
            {"ManualGPIBAddress", "12"}};
        for (auto it = set.begin(); it != set.end(); ++it)
            f.sys.settings["Sequor/Settings/" + it.key()] = it.value();
    }
    bool start() { return f.start(true); }
    QString journal() const { return dir.filePath("journal"); }

    QTemporaryDir dir;
    FormFixture f;
};

// Something the user does to the main window.
using MainAct = std::function<void(Ui::MainForm*)>;

// A dialog that declares its combo box and leaves a button free.
struct Gated {
    Gated() {
        for (auto* w : std::initializer_list<QWidget*>{free, combo}) {
            w->setParent(&dialog);
            w->move(0, 40 * int(dialog.children().size()));
        }
        combo->addItems({"0", "1"});
        combo->setEditable(true);
        ctl::RefuseDuringBus(activity, &dialog, {combo});
    }
    gpib::BusActivity activity;
    QDialog dialog;
    QPushButton* free = new QPushButton("Free");
    QComboBox* combo = new QComboBox;
    // What the input did: the combo's text, and which control has the focus.
    QString effect() const {
        const QWidget* focus = QApplication::focusWidget();
        return combo->currentText() + (focus == free ? " free" : focus ? " combo" : " -");
    }
};

// A window whose closing waits for the bus.
struct Closing : QWidget {
    explicit Closing(gpib::BusActivity& activity) { ctl::RefuseDuringBus(activity, this, {}); }
    void closeEvent(QCloseEvent* event) override {
        if (!ctl::CloseWaitsForBus(this, event)) event->accept();
    }
};

} // namespace
Q_DECLARE_METATYPE(MainAct)

class TestBusGate : public QObject {
    Q_OBJECT

private slots:
    // While a transaction lasts, declared controls get no input that could start something, and
    // everything inside them neither; focus still moves and Escape still closes. The same input
    // acts as usual once the transaction has ended.
    void refusal_data() {
        QTest::addColumn<QString>("effects"); // during the transaction, then after it
        QTest::newRow("wheel") << "0 combo, 1 combo";
        QTest::newRow("typing into the combo box's line") << "0 combo, 07 combo";
        QTest::newRow("Tab") << "0 free, 0 free";
        QTest::newRow("Escape") << "0 -, 0 -"; // closed
    }
    void refusal() {
        const QString input = QTest::currentDataTag();
        QStringList effects;
        for (const bool busy : {true, false}) {
            Gated g;
            QVERIFY(ShowActive(&g.dialog));
            g.combo->setFocus();
            std::optional<gpib::Transaction> transaction;
            if (busy) transaction.emplace(g.activity);
            QWheelEvent wheel({5, 5}, g.combo->mapToGlobal(QPoint(5, 5)), {}, {0, -120},
                              Qt::NoButton, {}, Qt::NoScrollPhase, false);
            if (input == "wheel") QApplication::sendEvent(g.combo, &wheel);
            if (input.startsWith("typing")) QTest::keyClicks(g.combo->lineEdit(), "7");
            if (input == "Tab") QTest::keyClick(g.combo->lineEdit(), Qt::Key_Tab);
            if (input == "Escape") QTest::keyClick(g.combo->lineEdit(), Qt::Key_Escape);
            effects << g.effect();
        }
        QTEST(effects.join(", "), "effects");
    }

    // Closing waits for the transactions of the window's own handlers (the walks below), not
    // for one under way beneath it when it opened: that one cannot end before it has closed.
    void closeWaits() {
        gpib::BusActivity activity;
        const gpib::Transaction outer(activity);
        Closing window(activity);
        window.show();
        QVERIFY(window.close());
    }

    // Busmate opened, talking to another device, and closed: afterwards the run measures the
    // window's instrument. Exit chosen as Busmate loads (as a click handled in its first driver
    // call would): Busmate opens, and the main window closes once Busmate is closed, never
    // beneath it.
    void terminalOnLoan_data() {
        QTest::addColumn<bool>("exit");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("then a run") << false << QStringList({"3 W ID?", "12 W TEMP?"});
        QTest::newRow("Exit as it loads") << true << QStringList({"3 W ID?"});
    }
    void terminalOnLoan() {
        QFETCH(bool, exit);
        Main m(true);
        QVERIFY(m.start());
        Click(m.f.ui()->Button_Connect);
        QCOMPARE(m.f.ui()->Frame1->title(), QString("  Connected to address 12  "));
        bool mainShownWithTerminal = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* terminal = qobject_cast<ManualForm*>(QApplication::activeModalWidget());
            if (!terminal || !terminal->WindowInitialised) return;
            poll.stop();
            Click(terminal->AddressButton[0]);
            terminal->ui->SendMessageList->setEditText("ID?");
            Click(terminal->ui->SendMessage);
            QTest::qWait(300);
            mainShownWithTerminal = m.f.form->isVisible();
            Choose(terminal->ui->Quit);
        });
        poll.start(10);
        gpib::BusActivity& activity = m.f.bench.session().activity();
        bool exitedDuringLoad = !exit;
        OnTransaction during(activity, false, [&] {
            if (!exit) return;
            Choose(m.f.ui()->Menu_Exit);
            exitedDuringLoad = activity.busy() && m.f.form->isVisible();
        });
        Choose(m.f.ui()->Menu_GPIB);
        QVERIFY(!poll.isActive() && mainShownWithTerminal && exitedDuringLoad);
        QCOMPARE(m.f.p.instrument.address(), 12);
        if (exit)
            QTRY_VERIFY(!m.f.form->isVisible());
        else
            Click(m.f.ui()->Button_Start);
        QTEST(Written(m.journal()), "written");
    }

    // Whatever is clicked or chosen while Connect waits for the last listener's answer, Connect
    // ends addressed to the instrument it reports, as the window shows it, and the run measures
    // that one. Exit while it waits for another's (the close box, with settings changed): the
    // window stays until the answer awaited has come, the search ends there, and the window
    // closes as usual, asking its question after the bus call.
    void duringConnect_data() {
        QTest::addColumn<MainAct>("act");
        QTest::newRow("Tools > Busmate")
            << MainAct([](Ui::MainForm* ui) { Choose(ui->Menu_GPIB); });
        QTest::newRow("Alt+C: Connect again") << MainAct([](Ui::MainForm* ui) {
            QTest::keyClick(ui->Button_Connect->window(), Qt::Key_C, Qt::AltModifier);
        });
        QTest::newRow("Exit") << MainAct(
            [](Ui::MainForm* ui) { ui->Button_Connect->window()->close(); });
    }
    void duringConnect() {
        QFETCH(MainAct, act);
        const bool exit = QTest::currentDataTag() == QString("Exit");
        Main m;
        QVERIFY(m.start());
        m.f.p.settings.markChanged();
        if (exit) m.f.sys.answerBox(Answer::No, "Exit");
        ModalCloser closer;
        bool shownAfter = false;
        OnJournal during(m.journal(), exit ? "7 W ID?" : "12 W ID?", [&] {
            act(m.f.ui());
            shownAfter = m.f.form->isVisible() && m.f.sys.boxes.isEmpty();
        });
        Click(m.f.ui()->Button_Connect);
        QVERIFY(!during.timer.isActive() && shownAfter);
        QStringList written = {"3 W ID?", "7 W ID?"};
        if (exit) {
            QTRY_VERIFY(!m.f.form->isVisible());
        } else {
            QCOMPARE(QVariantList({m.f.ui()->Frame1->title(), m.f.ui()->Text_DeviceID->text(),
                                   m.f.p.Option_ID[0]->isChecked(), closer.opened}),
                     QVariantList({"  Connected to PROBE at address 12  ", "PROBE", true, 0}));
            Click(m.f.ui()->Button_Start);
            written << "12 W ID?"
                    << "12 W TEMP?";
        }
        QCOMPARE(Written(m.journal()), written);
    }

    // The test dialog's Refresh clicked while the dialog's own query pauses before reading the
    // answer: the instrument is asked once. Without the worker the pause is where events come.
    void refreshDuringRefresh() {
        Main m(true, false);
        QVERIFY(m.start());
        Click(m.f.ui()->Button_Connect);
        OnTransaction during(m.f.bench.session().activity(), true, [&] {
            auto* dialog = qobject_cast<TestForm*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            Click(dialog->ui->Button_Refresh);
            QTimer::singleShot(0, dialog, &QDialog::reject);
        });
        QTimer::singleShot(3000, &during.scope, [] { QApplication::activeModalWidget()->close(); });
        Click(m.f.ui()->Button_Test);
        QVERIFY(during.done);
        QCOMPARE(Written(m.journal()), QStringList({"12 W TEMP?"}));
    }

    // Busmate on the slow bench, with the worker, or without: then a slow answer blocks the
    // window thread and events come only where the program yields between driver calls. An
    // address button clicked while another's click re-addresses the descriptor, while Id All or
    // a send awaits an answer: refused; the answer keeps the address it came from, the selection
    // stays, and the next message goes where it shows. Exit during Id All: the window stays for
    // the answer awaited, the sweep ends there, and the window closes.
    void terminalDuringBus_data() {
        QTest::addColumn<bool>("worker");
        QTest::newRow("worker") << true;
        QTest::newRow("window thread") << false;
    }
    void terminalDuringBus() {
        QFETCH(bool, worker);
        // Id All waits 600 ms for an answer: the timeouts are twice the real ones here.
        Terminal t(TerminalBench, {}, 2.0, worker);
        QVERIFY(t.start());
        t.form->show();
        // Clicks go, and runs act as soon as the journal gets the line.
        const auto during = [&](QAbstractButton* go, const QString& line,
                                const std::function<void()>& act) {
            OnJournal on(t.path("journal"), line, act);
            Click(go);
            QVERIFY(!on.timer.isActive());
        };
        { // without the worker, addressing is one call that no event can come between
            OnTransaction selecting(t.bench.session().activity(), false,
                                    [&] { Click(t.form->AddressButton[2]); });
            Click(t.form->AddressButton[0]);
            QVERIFY(selecting.done || !worker);
        }
        during(t.ui()->IdAll, "22 W ID?", [&] { Click(t.form->AddressButton[2]); });
        QVERIFY(t.form->AddressButton[0]->isChecked() && !t.form->AddressButton[2]->isChecked());
        t.send("ID?");
        Click(t.form->AddressButton[2]);
        t.ui()->SendMessageList->setEditText("SLOW?");
        during(t.ui()->SendMessage, "22 W SLOW?", [&] { Click(t.form->AddressButton[0]); });
        QVERIFY(!t.form->AddressButton[0]->isChecked() && t.form->AddressButton[2]->isChecked());
        QCOMPARE(t.form->Incoming, QString("22: LATE\r\n03: METER 3\r\n03: METER 3\r\n09: SWITCH "
                                           "9\r\n22: PROBE 22\r\n"));
        t.send("ID?");
        t.sys.answerBox(Answer::No, "Exit"); // the list has changed
        bool shownAfterExit = false;
        during(t.ui()->IdAll, "22 W ID?", [&] {
            Choose(t.ui()->Quit);
            shownAfterExit = t.form->isVisible();
        });
        QVERIFY(shownAfterExit);
        QTRY_VERIFY(!t.form->isVisible());
        QCOMPARE(Written(t.path("journal")),
                 QStringList({"22 W ID?", "9 W ID?", "3 W ID?", "3 W ID?", "22 W SLOW?", "22 W ID?",
                              "22 W ID?"}));
    }
};

QTEST_MAIN(TestBusGate)
#include "tst_busgate.moc"
