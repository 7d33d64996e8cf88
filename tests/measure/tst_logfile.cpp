#include "FileBytes.h"
#include "measure/LogFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestLogFile : public QObject {
    Q_OBJECT
private slots:
    // The free name proposed for an existing log, and the path of a name in its folder.
    void names() {
        QStringList got;
        for (const QString& name : u"Test_05.csv Test_98.csv Test_9.csv Test_99.csv Test_00.csv "
                                   "Test_123.csv Test_a1.csv Data Run.CSV a.csv_2.csv"_s.split(' '))
            got << ProposeFreeName(name);
        QCOMPARE(got.join(' '), u"Test_06.csv Test_99.csv Test_10.csv Test_99_1.csv Test_00_1.csv "
                                "Test_123_1.csv Test_a1_1.csv Data_1.csv Run.CSV_1.csv a_3.csv"_s);

        QCOMPARE(LogFilePath(u"/data/logs"_s, u"a.csv"_s), u"/data/logs/a.csv"_s);
        QCOMPARE(LogFilePath(u"/d"_s, u"..a.csv"_s), u"/d/..a.csv"_s);
        // Names that would leave the folder, or name none.
        for (const QString& bad :
             {u".."_s, u"."_s, QString(), u"../x.csv"_s, u"..\\x.csv"_s, u"a\0b"_s})
            QVERIFY2(LogFilePath(u"/d"_s, bad).isEmpty(), qPrintable(bad));
    }

    // The header and the row's first fields for a choice of columns.
    void rowText() {
        QByteArrayList headers;
        for (const std::array<bool, 3>& columns :
             {std::array{false, false, true}, {false, true, false}, {true, true, true}})
            headers << HeaderLine(columns);
        QCOMPARE(headers.join('|'), "Sequence;Measured|Time From Start;Measured|"
                                    "Time;Time From Start;Sequence;Measured");
        const QTime t(13, 5, 9);
        const QByteArray pc = PcTimeText(t).toLocal8Bit();
        QCOMPARE(RowPrefix({true, true, true}, t, 3725.0f, 12), pc + ";1:02:05;12;");
        // A run may pass 2^31 sequences; the count goes on, it does not wrap.
        QCOMPARE(RowPrefix({false, false, true}, t, 0.0f, 2147483648), "2147483648;"_ba);
        // On the console the sequence number leads once, whether or not the log has its column.
        QCOMPARE(ConsoleLine(12, {true, true, true}, t, 3725.0f, " 1,5"),
                 "12\t" + pc + "\t1:02:05\t 1,5");
    }

    void logWriter() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"log.csv"_s);
        LogWriter writer;
        // Opening an existing file must drop its earlier content.
        QVERIFY(writer.open(path) == OpenFailure::None && writer.writeLine(QByteArray(9999, 'x')));
        QCOMPARE(writer.open(path), OpenFailure::None);
        QByteArray expected;
        for (const QByteArray& line : {"sep=;"_ba, QByteArray(), QByteArray("1;\0\xff\r\n", 6)}) {
            QVERIFY(writer.writeLine(line));
            expected += line + "\r\n";
            QCOMPARE(ReadAll(path), expected); // each row is visible before close
        }
        writer.close();
        QVERIFY(!writer.writeLine("late"));

        // The "File Error" box text each failure to open leads to.
        const auto box = [&](const QString& p) { return OpenFailureText(writer.open(p), "a"); };
        QCOMPARE(box(dir.filePath(u"missing/a.csv"_s)), u"Invalid File Name: a."_s);
        QCOMPARE(box(dir.path()), u"Can't open file a."_s);
        QVERIFY(!writer.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
