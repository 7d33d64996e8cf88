// Logs written by the program's own row code, read back into chart points.
#include "measure/LogFile.h"
#include "measure/LogReader.h"
#include "measure/Run.h"

#include <QRandomGenerator>
#include <QTest>
#include <cmath>

using namespace Qt::Literals::StringLiterals;
using chart::LogPoint;
using chart::LogReader;

namespace {
// Answers after the exclusions, and the chart value each must give (NaN: a gap).
const QList<QPair<QByteArray, double>> Answers = {
    {"+1.0000E+01", 10}, {"", NAN},      {"-2.5E-3VDC", -0.0025},
    {"OVLD", NAN},       {"3.25", 3.25}, {"12;5", 12},
    {"  7", 7},          {"1.5E", 1.5},  {QByteArray("\0x", 2), NAN}};

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
    // Each column the x values come from, both decimal separators, with and without decimal
    // notation.
    void readsWrittenLogs_data() {
        QTest::addColumn<int>("mask"); // PC time 4, time from start 2, sequence 1
        QTest::addColumn<QString>("sep");
        QTest::addColumn<bool>("decimal");
        QTest::newRow("PTS .") << 7 << u"."_s << false;
        QTest::newRow("P-S , decimal") << 5 << u","_s << true;
        QTest::newRow("--S .") << 1 << u"."_s << false;
    }
    void readsWrittenLogs() {
        QFETCH(int, mask);
        QFETCH(QString, sep);
        QFETCH(bool, decimal);
        const std::array<bool, 3> columns{bool(mask & 4), bool(mask & 2), bool(mask & 1)};
        QByteArray log;
        if (sep == ".") log += "sep=;\r\n";
        log += HeaderLine(columns) + "\r\n";
        QStringList expected;
        const float interval = 1800; // past midnight on the PC clock, past a day from start
        for (qsizetype i = 0; i < Answers.size(); ++i) {
            const QTime pcTime = QTime(22, 0, 5).addSecs(int(i * interval));
            const ProcessedAnswer a = ProcessAnswer(Answers[i].first, decimal, sep);
            log += RowPrefix(columns, pcTime, float(i) * interval * 10, i + 1) + a.text + "\r\n";
            const double x = columns[1]   ? i * interval * 10.0
                             : columns[0] ? 22 * 3600 + 5 + i * interval
                                          : double(i + 1);
            const double y = Answers[i].second;
            expected << u"%1:%2"_s.arg(x).arg(std::isnan(y) ? u"gap"_s : QString::number(y));
        }
        std::vector<LogPoint> points;
        const LogReader reader = ReadInChunks(log, points, quint32(mask));
        QCOMPARE(reader.error(), QString());
        QCOMPARE(Points(points), expected.join(' '));
        QCOMPARE(reader.nonNumbers(), 3);
        QCOMPARE(reader.decimalSeparator(), sep[0].toLatin1());
    }

    // What is not a log gives an error naming the line; nothing is read past it.
    void damaged_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::newRow("empty") << QByteArray() << u"Line 1: the file ends before the header"_s;
        QTest::newRow("no header") << "1;2\r\n"_ba << u"Line 1: \"1;2\" is not the header"_s;
        QTest::newRow("sep late") << "Sequence;Measured\r\nsep=;\r\n"_ba
                                  << u"Line 2: \"sep=\" is not a Sequence value"_s;
        QTest::newRow("few fields") << "sep=;\r\nTime;Sequence;Measured\r\n12:00:00;1;2\r\n"
                                       "12:00:01\r\n"_ba
                                    << u"Line 4: \"12:00:01\" has fewer fields"_s;
        QTest::newRow("bad clock") << "Time From Start;Measured\r\n0:00:00;1\r\n0:0x:01;2\r\n"_ba
                                   << u"Line 3: \"0:0x:01\" is not a Time From Start value"_s;
        QTest::newRow("bad time") << "Time;Measured\r\n25:00:00;1\r\n"_ba
                                  << u"Line 2: \"25:00:00\" is not a Time value"_s;
        QTest::newRow("after the end")
            << "Sequence;Measured\r\n1;2\r\nInvalid Measurement, Sequence terminated by "
               "program.\r\nERR\r\n3;4\r\n"_ba
            << u"Line 5: text after the end of the run"_s;
    }
    void damaged() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        std::vector<LogPoint> points;
        const LogReader reader = ReadInChunks(bytes, points, 7);
        QVERIFY2(reader.error().startsWith(error), qPrintable(reader.error()));
    }

    // The line ends the writer uses decide where a row ends: a lone LF inside an answer stays
    // in it; a log saved with LF line ends is read too, its last line without one as well.
    void lineEnds() {
        std::vector<LogPoint> points;
        LogReader crlf = ReadInChunks("Sequence;Measured\r\n1;2\nV\r\n2;4\r\n"_ba, points, 1);
        QCOMPARE(Points(points), u"1:2 2:4"_s);
        points.clear();
        LogReader lf = ReadInChunks("Sequence;Measured\n1;2\n2;x\n3;5"_ba, points, 2);
        QCOMPARE(Points(points), u"1:2 2:gap 3:5"_s);
        QCOMPARE(crlf.error() + lf.error(), QString());
        // An invalid measurement ends the run: counted, not drawn.
        points.clear();
        const LogReader invalid = ReadInChunks(
            "Sequence;Measured\r\n1;2\r\nInvalid Measurement, Sequence terminated by program."
            "\r\nERR\r\n"_ba,
            points, 3);
        QVERIFY(invalid.endedInvalid() && invalid.error().isEmpty());
        QCOMPARE(invalid.nonNumbers(), 1);
        QCOMPARE(Points(points), u"1:2"_s);
    }

    // The PC time as locales write it, with the format the log writer makes of theirs.
    void timeOfDay() {
        for (const char* name : {"en_US", "fi_FI", "en_AU", "C"}) {
            const QLocale l(QString::fromLatin1(name));
            const QString format = TimeOfDayFormat(l.timeFormat(QLocale::LongFormat));
            for (const QTime& t : {QTime(13, 5, 9), QTime(0, 0, 1), QTime(12, 30, 0)}) {
                const QByteArray text = l.toString(t, format).toLocal8Bit();
                QVERIFY2(chart::TimeOfDaySeconds(text) == t.msecsSinceStartOfDay() / 1000,
                         text.constData());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestLogReader)
#include "tst_logreader.moc"
