// The chart window of a run on the simulated bench: what it draws, zoom and Follow.
#include "FormFixture.h"
#include "measure/ui/ChartForm.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtCharts/QChart>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

using namespace Qt::Literals::StringLiterals;
using Segments = QList<QList<QPointF>>;

namespace {
void Write(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode) {
    QFile f(path);
    QVERIFY(f.open(mode) && f.write(bytes) == bytes.size());
}
} // namespace

class TestChartForm : public QObject {
    Q_OBJECT
private slots:
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
        QCOMPARE(chart->DrawnSegments(),
                 (Segments{{{2 * h, 2.25}, {3 * h, -0.3}, {4 * h, 7}}, {{0, 1.5}}}));
        QCOMPARE(chart->ui.Label_Status->text(), u"5 rows, 1 not numbers"_s);

        // The band of "equal to 2 within 20 %", and the mark on the row that met it.
        QList<float> levels;
        QPointF mark;
        for (QAbstractSeries* s : chart->ui.Chart_Plot->chart()->series()) {
            auto* xy = static_cast<QXYSeries*>(s);
            if (xy->pen().style() == Qt::DashLine) levels << float(xy->at(0).y());
            if (auto* dots = qobject_cast<QScatterSeries*>(s); dots && dots->markerSize() > 10)
                mark = dots->count() == 1 ? dots->at(0) : QPointF(-1, -1);
        }
        QCOMPARE(levels, (QList<float>{1.6f, 2.4f}));
        QCOMPARE(mark, QPointF(2 * h, 2.25));

        // A zoom stops the following; Reset brings it back with all points in view.
        emit chart->ui.Chart_Plot->userMoved();
        QVERIFY(!chart->ui.Check_Follow->isChecked());
        chart->ui.Chart_Plot->chart()->zoom(4);
        const QString log = dir.filePath(u"Test.csv"_s);
        Write(log, "1:00:00;100\r\n"_ba, QIODevice::Append);
        chart->RowWritten();
        QTest::qWait(10);
        auto* x = qobject_cast<QValueAxis*>(chart->ui.Chart_Plot->chart()->axes(Qt::Horizontal)[0]);
        QVERIFY(x->max() < 1);
        chart->ui.Button_Reset->click();
        QVERIFY(chart->ui.Check_Follow->isChecked() && x->min() == 0 && x->max() >= 1);

        chart->close();
    }
};

QTEST_MAIN(TestChartForm)
#include "tst_chartform.moc"
