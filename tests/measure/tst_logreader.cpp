// Logs read back into chart points.
#include "measure/LogReader.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>

using namespace Qt::Literals::StringLiterals;
using chart::LogPoint;
using chart::LogReader;

namespace {
// Reads bytes in random chunks, as from a file a run is still writing.
LogReader ReadInChunks(const QByteArray& bytes, std::vector<LogPoint>& points, quint32 mix) {
    LogReader reader;
    QRandomGenerator random(mix);
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype n = random.bounded(1, 40);
        if (!reader.feed(bytes.mid(at, n))) break;
        at += n;
        for (const LogPoint& p : reader.take())
            points.push_back(p);
    }
    if (reader.finish())
        for (const LogPoint& p : reader.take())
            points.push_back(p);
    return reader;
}

QString Points(const std::vector<LogPoint>& points) {
    QStringList out;
    for (const LogPoint& p : points)
        out << u"%1:%2"_s.arg(p.x).arg(std::isnan(p.y) ? u"gap"_s : QString::number(p.y));
    return out.join(' ');
}
} // namespace

class TestLogReader : public QObject {
    Q_OBJECT
private slots:
    // What is not a log gives an error naming the line; nothing is read past it. The line
    // ends the writer uses decide where a row ends: a lone LF inside an answer stays in it; a
    // log saved with LF line ends is read too, its last line without one as well. An invalid
    // measurement ends the run: counted, not drawn.
    void files_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("error");
        const auto row = [](const char* name, const QByteArray& bytes, const QString& points,
                            const QString& error) {
            QTest::newRow(name) << bytes << points << error;
        };
        const QByteArray invalid =
            "Sequence;Measured\r\n1;2\r\nInvalid Measurement, Sequence terminated by program."
            "\r\nERR\r\n"_ba;
        // As the run writes them: x from the start, past a day, with ','; from the PC time, past
        // midnight; answers with text, a ';' and a NUL.
        row("PTS ','",
            "Time;Time From Start;Sequence;Measured\r\n22:00:05;0:00:00;1;+1,0000E+01\r\n"
            "23:00:05;25:00:00;2;-2,5E-3VDC\r\n23:30:05;26:00:00;3;  7\r\n"_ba,
            u"0:10 90000:-0.0025 93600:7"_s, {});
        row("P-S",
            "sep=;\r\nTime;Sequence;Measured\r\n23:30:00;1;OVLD\r\n00:30:00;2;12;5\r\n"
            "01:00:00;3;\0x\r\n"_ba,
            u"84600:gap 88200:12 90000:gap"_s, {});
        // The PC time as en_US and fi_FI write it.
        row("AM/PM", "Time;Measured\r\n1:05:09 PM;1\r\n12:30:00 AM;2\r\n"_ba, u"47109:1 88200:2"_s,
            {});
        row("points", "Time;Measured\r\n13.05.09;1\r\n"_ba, u"47109:1"_s, {});
        row("empty", {}, {}, u"Line 1: the file ends before the header"_s);
        row("few fields", "sep=;\r\nTime;Sequence;Measured\r\n12:00:00;1;2\r\n12:00:01\r\n"_ba,
            u"43200:2"_s, u"Line 4: \"12:00:01\" has fewer fields"_s);
        row("after the end", invalid + "3;4\r\n", u"1:2"_s,
            u"Line 5: text after the end of the run"_s);
        row("an invalid measurement", invalid, u"1:2"_s, {});
        row("a lone LF in an answer", "Sequence;Measured\r\n1;2\nV\r\n2;4\r\n"_ba, u"1:2 2:4"_s,
            {});
        row("LF line ends", "Sequence;Measured\n1;2\n2;x\n3;5"_ba, u"1:2 2:gap 3:5"_s, {});
    }
    void files() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        std::vector<LogPoint> points;
        const LogReader reader = ReadInChunks(bytes, points, 7);
        QTEST(Points(points), "points");
        QVERIFY2(error.isEmpty() ? reader.error().isEmpty() : reader.error().startsWith(error),
                 qPrintable(reader.error()));
        QCOMPARE(reader.endedInvalid(), bytes.contains("Invalid"));
    }
};

QTEST_GUILESS_MAIN(TestLogReader)
#include "tst_logreader.moc"
