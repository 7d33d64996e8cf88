// The query test dialog against a simulated instrument: what it shows, how exclusions are
// built from a selection, the questions it asks, and what OK and Cancel hand back.
#include "Focus.h"
#include "TestBench.h"
#include "measure/ui/TestForm.h"
#include "platform/ScriptedPlatform.h"
#include "ui_TestForm.h"
#include <QLineEdit>
#include <QTest>

using namespace platform;

namespace {
const QByteArray Bench = R"({ "timeout_scale": 0.001, "instruments": [ { "address": 3,
    "replies": { "MEAS?": "+1.2345E+00VDC", "WORD?": "OVLD" } } ] })";

// The main window's two boxes, the settings, and the instrument at address 3.
struct Bench3 {
    ScriptedPlatform sys;
    BenchGuard bench{Bench};
    QWidget main;
    QLineEdit* query = new QLineEdit(&main);
    QLineEdit* device = new QLineEdit(&main);
    settings::Settings settings;
    std::unique_ptr<TestForm> form;

    // The main window holds MEAS? for M401A; the settings, the exclusions stored for storedQuery
    // on storedDevice.
    Bench3(QByteArray ex1, QByteArray ex2, const QString& storedDevice,
           const QString& storedQuery) {
        bench.open();
        bench.instrument().setAddress(3);
        query->setText("MEAS?");
        device->setText("M401A");
        settings.setMeasurement({ex1, ex2, false, ".", storedDevice, storedQuery});
        settings.markSaved();
        form = std::make_unique<TestForm>(TestForm::MainBoxes{query, device}, settings,
                                          bench.instrument(), &main);
    }
    // Opens the dialog as the Test button does and lets its activation run.
    void open() {
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTRY_VERIFY(!form->Loading && !form->ui->Text_Response->text().isNull());
        QCoreApplication::processEvents();
    }
    Ui::TestForm* ui() const { return form->ui.get(); }
    // Response, both exclusions, conversion, OK enabled, focus, as one text.
    QString state() const {
        const QWidget* focus = QApplication::focusWidget();
        return QStringList({ui()->Text_Response->text(), ui()->Text_Exclude_0->text(),
                            ui()->Text_Exclude_1->text(),
                            ui()->Check_SciToDec->isChecked() ? "dec" : "raw",
                            ui()->Button_OK->isEnabled() ? "OK" : "-",
                            focus ? focus->objectName() : "none"})
            .join('|');
    }
};
} // namespace

class TestTestForm : public QObject {
    Q_OBJECT

private slots:

    // Exclusions made for another instrument: asked once after the first answer, Yes clears
    // them. The user builds the first exclusion from a selection, converts, finds Enter in an
    // empty query box does nothing, types an exclusion no bus answer can carry (refused on OK,
    // not turned into a "?" wildcard), mends it, and hands it all back with OK.
    void buildAndAccept() {
        Bench3 b({}, "E+00", "K2000", "MEAS?");
        b.sys.answerBox(Answer::Yes, "Measurement Query and Exclusions mismatch");
        b.open();
        QCOMPARE(b.state(), "+1.2345VDC|||raw|OK|Text_Exclude_0");

        // Selected with the mouse, then the focus moves to the button before the click.
        b.ui()->Text_Response->setFocus();
        b.ui()->Text_Response->setSelection(7, 3);
        b.ui()->Button_Add_0->setFocus(Qt::MouseFocusReason);
        QVERIFY(!b.ui()->Text_Response->hasSelectedText());
        QTest::mouseClick(b.ui()->Button_Add_0, Qt::LeftButton);
        QCOMPARE(b.state(), "+1.2345E+00|VDC||raw|OK|Text_Exclude_1");

        QTest::mouseClick(b.ui()->Check_SciToDec, Qt::LeftButton);
        QCOMPARE(b.state(), "1.2345|VDC||dec|OK|Text_Exclude_1");

        b.ui()->Text_MeasQuery->clear();
        QVERIFY(!b.ui()->Button_Refresh->isEnabled() && !b.ui()->Button_OK->isEnabled());
        // Enter does nothing then, as the disabled Refresh: no empty query, no read to fail.
        const int boxes = int(b.sys.boxes.size());
        QTest::keyClick(b.ui()->Text_MeasQuery, Qt::Key_Return);
        QCOMPARE(b.sys.boxes.size(), boxes);

        b.ui()->Text_MeasQuery->setText("MEAS?");

        b.ui()->Text_Exclude_1->setText("5€");
        b.sys.answerBox(Answer::Ok, "Invalid Character");
        QTest::mouseClick(b.ui()->Button_OK, Qt::LeftButton);
        QCOMPARE(b.sys.boxes.last().text,
                 "Exclude 2 holds the character €, which no answer on the bus can "
                 "hold.\nOnly characters of the 8-bit code page (Latin-1) can be used.");
        QVERIFY(b.form->isVisible() && !b.settings.changed());
        QCOMPARE(QApplication::focusWidget(), b.ui()->Text_Exclude_1);
        b.ui()->Text_Exclude_1->setText("5µ");

        QTest::mouseClick(b.ui()->Button_OK, Qt::LeftButton);
        QVERIFY(!b.form->isVisible() && b.form->result() == QDialog::Accepted);
        QCOMPARE(b.sys.pendingAnswers(), 0);
        const MeasurementSettings& m = b.settings.measurement();
        QCOMPARE(
            QVariantList({m.Exclude1, m.Exclude2, m.DecNotation, b.settings.changed(),
                          b.query->text(), m.MeasQuery}),
            QVariantList({QByteArray("VDC"), QByteArray("5\xb5"), true, true, "MEAS?", "MEAS?"}));
    }

    // With both exclusions kept (No to the question) the focus starts at the query; a double
    // click and Clear empty an exclusion and ask again. Cancel, or Escape from a box after Tab
    // and Shift+Tab left and re-entered it, then hands nothing back, not even the query.
    void okAndCancel_data() {
        QTest::addColumn<QString>("how"); // "Cancel" or the box Escape is pressed in
        for (const char* how : {"Cancel", "Text_Exclude_1"})
            QTest::newRow(how) << how;
    }
    void okAndCancel() {
        QFETCH(QString, how);
        Bench3 b("E+00", "VDC", "M401A", "READ?");
        b.sys.answerBox(Answer::No, "Measurement Query and Exclusions mismatch");
        b.open();
        QCOMPARE(b.state(), "+1.2345|E+00|VDC|raw|-|Text_MeasQuery");
        QTest::mouseDClick(b.ui()->Text_Exclude_1, Qt::LeftButton);
        QCOMPARE(b.state(), "+1.2345VDC|E+00||raw|OK|Text_Exclude_1");
        QTest::mouseClick(b.ui()->Button_Clear_0, Qt::LeftButton);
        QCOMPARE(b.state(), "+1.2345E+00VDC|||raw|OK|Text_Exclude_0");
        b.ui()->Text_MeasQuery->setText("WORD?");
        b.ui()->Check_SciToDec->setChecked(true);

        if (how == "Cancel") QTest::mouseClick(b.ui()->Button_Cancel, Qt::LeftButton);
        if (auto* box = b.form->findChild<QLineEdit*>(how)) {
            box->setFocus();
            QVERIFY(TabLeavesAndReturns(box));
            QTest::keyClick(box, Qt::Key_Escape);
        }
        QVERIFY(!b.form->isVisible() && b.form->result() == QDialog::Rejected);
        const MeasurementSettings& m = b.settings.measurement();
        QCOMPARE(QVariantList({m.Exclude1, m.Exclude2, m.DecNotation, b.settings.changed(),
                               b.query->text()}),
                 QVariantList({QByteArray("E+00"), QByteArray("VDC"), false, false, "MEAS?"}));
    }
};

QTEST_MAIN(TestTestForm)
#include "tst_testform.moc"
