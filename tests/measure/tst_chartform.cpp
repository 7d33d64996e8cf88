// The chart window on log files: what it draws, a file that grows, a file that is not a log,
// zoom and Follow, export.
#include "measure/ui/ChartForm.h"
#include "platform/ScriptedPlatform.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
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
    // A log in the "," locale with gaps, opened, then growing as a run writes it.
    void drawsAndFollowsAGrowingLog() {
        platform::ScriptedPlatform sys;
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Run_3.csv"_s);
        Write(path, "Sequence;Measured\r\n1;1,5\r\n2;\r\n3;2,5\r\n4;-1\r\n5;ERR\r\n"_ba,
              QIODevice::WriteOnly);
        QWidget main;
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

    // A file that is not a log: a box names the line, and no window opens.
    void refusesWhatIsNotALog() {
        platform::ScriptedPlatform sys;
        QTemporaryDir dir;
        const QString path = dir.filePath(u"notes.csv"_s);
        Write(path, "Sequence;Measured\r\n1;2\r\nx;3\r\n"_ba, QIODevice::WriteOnly);
        QWidget main;
        sys.answerBox(Answer::Ok, u"Open Log File in Chart"_s);
        QVERIFY(!ChartForm::ShowFile(&main, path));
        QCOMPARE(sys.boxes.size(), 1);
        QVERIFY2(sys.boxes[0].text.contains(u"Line 3: \"x\" is not a Sequence value"_s),
                 qPrintable(sys.boxes[0].text));
        QVERIFY(main.findChildren<ChartForm*>().isEmpty() ||
                !main.findChildren<ChartForm*>()[0]->isVisible());
    }
};

QTEST_MAIN(TestChartForm)
#include "tst_chartform.moc"
