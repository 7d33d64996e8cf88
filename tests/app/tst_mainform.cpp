// Start-up, first activation, the keys and menus, and closing of the main window.
#include "Focus.h"
#include "FormFixture.h"
#include "app/Program.h"
#include "settings/ui/IntroForm.h"
#include "settings/ui/frmAbout.h"
#include <QMenu>
#include <QtTest>
#include <csignal>

using namespace platform;

static const QByteArray Instruments = R"({ "address": 22, "replies": {} },
    { "address": 3, "replies": {} }, { "address": 9, "replies": {} })";

class TestMainForm : public QObject {
    Q_OBJECT

private slots:
    void startUp() {
        FormFixture f(BenchJson(Instruments));
        QVERIFY(f.start());
        // The addresses in ascending order, then what starts disabled (widgets and menu items).
        QStringList shown, disabled;
        for (int i = 0; i < f.ui()->Combo_Addr->count(); ++i)
            shown << f.ui()->Combo_Addr->itemText(i);
        for (const QObject* o : f.form->findChildren<QObject*>())
            if (o->property("enabled") == QVariant(false)) disabled << o->objectName();
        disabled.sort();
        QCOMPARE(shown + disabled,
                 QStringList({"None", "3", "9", "22", "Button_ApplyTime", "Button_Connect",
                              "Button_Start", "Button_Stop", "Button_Test", "Menu_OpenExcel_1",
                              "Menu_OpenExcel_2", "Menu_ShowConditional", "Menu_ViewTerm"}));
        // The descriptor is open and the recalled entries come up applied.
        QVERIFY(f.p.instrument.ud() != 0 && f.p.timing.TimeApplied &&
                f.p.logFile.CsvFile.endsWith("/Test.csv"));
        // Closing asks only after a change; Yes saves the start-up set.
        f.p.Menu_Exit_Click(); // an unexpected box fails the test
        f.ui()->Text_MeasQuery->setText("MEAS?");
        f.sys.answerBox(Answer::Yes, "Exit");
        f.p.Menu_Exit_Click();
        QCOMPARE(f.sys.settings.value("Sequor/Settings/Query", "-"), "MEAS?");
    }

    // A user's walk through the window's keys, boxes and menus. However showing and activating
    // arrive, even while the splash is up, the first activation and its splash run once. Tab
    // and Shift+Tab leave and re-enter one box of each filter, the box's lost-focus handling
    // runs (a name without ".csv" is questioned), and Escape changes nothing. Alt+L opens
    // Too&ls, not C&lear; a second About click brings the open about box forward; the address
    // mode hides the ID answer row and moves nothing else.
    void tabLeavesEveryBox() {
        FormFixture f(BenchJson(Instruments));
        f.form->Form_Load();
        f.form->SetSplashSeconds(1);
        QSet<QWidget*> splashes;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<IntroForm*>(w) && w->isVisible()) {
                    splashes.insert(w);
                    // The window manager activates the main window while the splash is up.
                    QApplication::setActiveWindow(f.form.get());
                }
        });
        poll.start(20);
        f.form->show();
        QTRY_VERIFY_WITH_TIMEOUT(f.p.startup.Activated, 5000);
        QTest::qWait(300); // a second activation would queue its splash now
        poll.stop();
        QCOMPARE(splashes.size(), 1);
        QVERIFY(ShowActive(f.form.get()));

        for (const char* box :
             {"Text_Time_0", "Text_DeviceID", "Text_MeasQuery", "Text_FileName"}) {
            auto* edit = f.form->findChild<QLineEdit*>(box);
            const bool name = edit == f.ui()->Text_FileName;
            edit->setFocus();
            edit->clear();
            QTest::keyClicks(edit, name ? "run" : "1");
            QTest::keyClick(edit, Qt::Key_Escape);
            QVERIFY(f.form->isVisible());
            if (name) f.sys.answerBox(Answer::Yes, "Check File Name");
            QVERIFY2(TabLeavesAndReturns(edit), box);
            QCOMPARE(edit->text(), name ? "run.csv" : "1");
            QCOMPARE(f.sys.pendingAnswers(), 0);
        }
        f.p.Text_Time[0]->setFocus();
        QMenu* opened = nullptr;
        QTimer::singleShot(0, [&] {
            opened = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (opened) opened->close();
        });
        QTest::keyClick(f.form.get(), Qt::Key_L, Qt::AltModifier);
        QTRY_VERIFY(opened != nullptr);
        QCOMPARE(opened->objectName(), QString("Menu_Tools"));
        QVERIFY(QApplication::focusWidget() != f.ui()->Button_Clear);

        for (int click = 0; click < 2; ++click)
            f.ui()->Menu_AboutSequor->trigger();
        QCOMPARE(f.form->findChildren<frmAbout*>().size(), 1);
        f.form->findChild<frmAbout*>()->close();

        const auto positions = [&] {
            return QList<QPoint>{f.ui()->Text_MeasQuery->mapTo(f.form.get(), QPoint()),
                                 f.ui()->Frame3->mapTo(f.form.get(), QPoint())};
        };
        const QList<QPoint> before = positions();
        f.p.Option_ID[2]->click();
        QApplication::processEvents();
        QVERIFY(!f.ui()->Text_IDResponse->isVisible() && f.ui()->Combo_Addr->isVisible());
        QCOMPARE(positions(), before);
    }

    // A "?" in the program's own name is no argument: the driver is asked for, and fails with
    // a box. The program keeps running when a write goes over the system's file-size limit:
    // the write fails instead.
    void questionMark() {
        std::signal(SIGXFSZ, SIG_DFL);
        ScriptedPlatform sys;
        qputenv("SEQUOR_BUS", "sim:/nonexistent/bench.json");
        sys.answerBox(Answer::Ok, "Initialization Error");
        QCOMPARE(RunSequor({"/opt/what?/sequor"}), 1);
        QVERIFY(std::signal(SIGXFSZ, SIG_DFL) == SIG_IGN);
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
