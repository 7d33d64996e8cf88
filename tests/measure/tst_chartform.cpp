// The chart window on log files: what it draws, a file that grows, a file that is not a log,
// zoom and Follow, export; and the chart of a run on the simulated bench.
#include "FormFixture.h"
#include "measure/ui/ChartForm.h"
#include "platform/ScriptedPlatform.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtCharts/QChart>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

using namespace Qt::Literals::StringLiterals;
using platform::Answer;

namespace {
void Write(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode) {
    QFile f(path);
    QVERIFY(f.open(mode) && f.write(bytes) == bytes.size());
}
} // namespace

class TestChartForm : public QObject {
    Q_OBJECT
private slots:
    // A file that is not a log: a box names the line, and no window opens. Then a log in the
    // "," locale with gaps, opened, then growing as a run writes it.
    void drawsAndFollowsAGrowingLog() {
        platform::ScriptedPlatform sys;
        QTemporaryDir dir;
        QWidget main;
        const QString notes = dir.filePath(u"notes.csv"_s);
        Write(notes, "Sequence;Measured\r\n1;2\r\nx;3\r\n"_ba, QIODevice::WriteOnly);
        sys.answerBox(Answer::Ok, u"Open Log File in Chart"_s);
        QVERIFY(!ChartForm::ShowFile(&main, notes));
        QVERIFY2(sys.boxes[0].text.contains(u"Line 3: \"x\" is not a Sequence value"_s),
                 qPrintable(sys.boxes[0].text));
        QVERIFY(main.findChildren<ChartForm*>().isEmpty() ||
                !main.findChildren<ChartForm*>()[0]->isVisible());

        const QString path = dir.filePath(u"Run_3.csv"_s);
        Write(path, "Sequence;Measured\r\n1;1,5\r\n2;\r\n3;2,5\r\n4;-1\r\n5;ERR\r\n"_ba,
              QIODevice::WriteOnly);
        QPointer<ChartForm> form = ChartForm::ShowFile(&main, path);
        QVERIFY(form && form->isVisible());
        QCOMPARE(form->windowTitle(), u"Run_3.csv"_s);
        using Segments = QList<QList<QPointF>>;
        QCOMPARE(form->DrawnSegments(), (Segments{{{3, 2.5}, {4, -1}}, {{1, 1.5}}}));
        QCOMPARE(form->ui.Label_Status->text(), u"5 rows, 2 not numbers"_s);

        // Rows added by the run, one of them cut in two by the moment of reading.
        Write(path, "6;3\r\n7;4"_ba, QIODevice::Append);
        form->RowWritten();
        Write(path, "\r\n"_ba, QIODevice::Append);
        form->RowWritten();
        QCOMPARE(form->DrawnSegments(),
                 (Segments{{{3, 2.5}, {4, -1}}, {{6, 3}, {7, 4}}, {{1, 1.5}}}));
        QVERIFY(form->ui.Check_Follow->isChecked());

        // A zoom stops the following; Reset brings it back with all points in view.
        emit form->ui.Chart_Plot->userMoved();
        QVERIFY(!form->ui.Check_Follow->isChecked());
        form->ui.Chart_Plot->chart()->zoom(4);
        Write(path, "8;100\r\n"_ba, QIODevice::Append);
        form->RowWritten();
        QTest::qWait(10);
        auto* x = qobject_cast<QValueAxis*>(form->ui.Chart_Plot->chart()->axes(Qt::Horizontal)[0]);
        QVERIFY(x->max() < 8);
        form->ui.Button_Reset->click();
        QVERIFY(form->ui.Check_Follow->isChecked() && x->min() == 1 && x->max() > 8);

        // Exports at the window's size.
        sys.answerFileDialog(dir.filePath(u"c.png"_s));
        form->ui.Button_ExportPng->click();
        QCOMPARE(QImage(dir.filePath(u"c.png"_s)).size(), form->ui.Chart_Plot->size());
        sys.answerFileDialog(dir.filePath(u"c.svg"_s));
        form->ui.Button_ExportSvg->click();
        QFile svg(dir.filePath(u"c.svg"_s));
        QVERIFY(svg.open(QIODevice::ReadOnly) && svg.readAll().contains("<polyline"));
        QCOMPARE(sys.fileDialogs.first().proposedName, u"Run_3.png"_s);
        form->close();
    }

    // The chart of a run, opened with the Chart button before the run: it holds exactly the
    // logged values, with gaps where a row was not a number, the conditional command's band,
    // and a mark where the condition was met.
    void followsARun() {
        FormFixture f(BenchJson(R"({ "address": 3, "replies": { "MEAS?":
            ["+1.5", "OVLD", "2.25", "-3E-1", "7", "8"] } })"));
        QTemporaryDir dir;
        QVERIFY(dir.isValid() && f.start(true));
        Ui::MainForm* ui = f.ui();
        ui->Text_Path->setText(dir.path());
        f.p.ConnectAndApplyTiming("3", "MEAS?", 1, 5);
        for (int i = 0; i < 3; ++i)
            f.p.Check_Log[i]->setChecked(i == 1); // time from start only
        f.p.settings.setMeasurement({{}, {}, false, u","_s});
        // On, sending nothing, not ending: equal to 2 within 20 %, met at the first hit.
        f.p.settings.setCondCommand({u"400010014C1"_s, {u"2"_s, u"10"_s}, {}});

        ui->Button_Chart->click();
        auto* chart = f.form->findChild<ChartForm*>();
        QVERIFY(chart && chart->isVisible());
        QCOMPARE(chart->windowTitle(), u"Test.csv"_s);

        // Every wait ends at once; after each row the chart holds what the log holds.
        QList<qsizetype> pointsAfterRow;
        QObject::connect(&f.p.controller, &RunController::timerArmed, chart,
                         [&] { f.p.controller.timerFired(); });
        QObject::connect(&f.p.controller, &RunController::rowMeasured, chart,
                         [&] { pointsAfterRow << qsizetype(chart->data().size()); });
        f.p.Button_Start_Click();
        QCOMPARE(pointsAfterRow, (QList<qsizetype>{1, 2, 3, 4, 5}));

        const double h = 1 / 3600.0; // the time axis counts hours
        using Segments = QList<QList<QPointF>>;
        QCOMPARE(chart->DrawnSegments(),
                 (Segments{{{2 * h, 2.25}, {3 * h, -0.3}, {4 * h, 7}}, {{0, 1.5}}}));
        QCOMPARE(chart->ui.Label_Status->text(), u"5 rows, 1 not numbers"_s);

        // The band of "equal to 2 within 20 %", and the mark on the row that met it.
        QList<QList<QPointF>> levels;
        QPointF mark;
        for (QAbstractSeries* s : chart->ui.Chart_Plot->chart()->series()) {
            auto* xy = static_cast<QXYSeries*>(s);
            if (xy->pen().style() == Qt::DashLine) levels << xy->points();
            if (auto* dots = qobject_cast<QScatterSeries*>(s); dots && dots->markerSize() > 10)
                mark = dots->count() == 1 ? dots->at(0) : QPointF(-1, -1);
        }
        QCOMPARE(levels.size(), 2);
        QCOMPARE(float(levels[0][0].y()), 1.6f);
        QCOMPARE(float(levels[1][0].y()), 2.4f);
        QCOMPARE(mark, QPointF(2 * h, 2.25));
        chart->close();
    }
};

QTEST_MAIN(TestChartForm)
#include "tst_chartform.moc"
