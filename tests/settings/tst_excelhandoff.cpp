// Handing a log to the spreadsheet program: the starts, the checks of the chosen paths, and a
// real program started with the arguments as they were built.
#include "platform/ui/QtPlatform.h"
#include "settings/ExcelHandoff.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace excel;

namespace {
const QString DotOption = "--infilter=Text - txt - csv (StarCalc):59,34,12,2,,1033,false,true";
const QString CommaOption = "--infilter=Text - txt - csv (StarCalc):59,34,12,1,,1031,false,true";

bool WriteFile(const QString& path, const QByteArray& bytes, bool executable = false) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return false;
    if (executable) f.setPermissions(f.permissions() | QFile::ExeOwner);
    return true;
}

} // namespace

class TestExcelHandoff : public QObject {
    Q_OBJECT

private slots:
    // Per row: the program, then the workbook (1 the log alone, 2 the plotbook) and how the
    // log was written ("s" a sep= line, then its decimal separator).
    void commands_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("starts"); // program and arguments joined by '|'
        const QString book = "/m y/\"Plotbook\".xlsm", csv = "/logs/run 1.csv";
        QTest::newRow("excel 2") << "C:\\Apps\\EXCEL.EXE"
                                 << "2s." << QStringList{"C:\\Apps\\EXCEL.EXE|" + book + "|" + csv};
        QTest::newRow("localc 1 comma")
            << "/usr/bin/localc"
            << "1," << QStringList{"/usr/bin/localc|" + CommaOption + "|" + csv};
        QTest::newRow("libreoffice7.4 2")
            << "/opt/lo/libreoffice7.4"
            << "2s."
            << QStringList{"/opt/lo/libreoffice7.4|" + book,
                           "/opt/lo/libreoffice7.4|" + DotOption + "|" + csv};
        QTest::newRow("not office") << "/usr/bin/office-tool"
                                    << "1s." << QStringList{"/usr/bin/office-tool|" + csv};
    }
    void commands() {
        QFETCH(QString, program);
        QFETCH(QString, how);
        QStringList got;
        for (const Launch& l : OpenCommands(how[0].digitValue(), program, "/m y/\"Plotbook\".xlsm",
                                            "/logs/run 1.csv", how.contains('s'), how.right(1)))
            got << QStringList(l.program + "|" + l.arguments.join('|'));
        QTEST(got, "starts");
    }

    // The log tells how it was written; a log that cannot be read leaves it to the caller.
    void logFormat() {
        QTemporaryDir dir;
        const QString dot = dir.filePath("dot.csv"), comma = dir.filePath("comma.csv");
        QVERIFY(WriteFile(dot, "sep=;\r\nMeasured\r\n 1.5\r\n"));
        QVERIFY(WriteFile(comma, "Measured\r\n 1,5\r\n"));
        auto text = [](const LogFormat& f) {
            return f.decimalSeparator + (f.hasSepLine ? "s" : "");
        };
        QCOMPARE(text(LogFormatOf(dot, ",")) + text(LogFormatOf(comma, ".")) +
                     text(LogFormatOf(dir.filePath("gone.csv"), ".")) +
                     text(LogFormatOf(dir.filePath("gone.csv"), ",")),
                 ".s,.s,");
    }

    // Outside Windows the spreadsheet program is any executable file, never a folder or a
    // document; the path dialog starts where the first spreadsheet program on PATH lives.
    void programChecks() {
        QTemporaryDir a, b;
        QVERIFY(WriteFile(a.filePath("gnumeric"), "#!/bin/sh\n", true));
        QVERIFY(WriteFile(b.filePath("soffice"), "#!/bin/sh\n", true));
        QVERIFY(WriteFile(b.filePath("libreoffice"), "not executable"));
        QCOMPARE(FirstSpreadsheetProgram({a.path(), b.path()}), b.filePath("soffice"));
        // Only the plotbook's own name, in any case, is the plotbook.
        QVERIFY(IsPlotbook("/a/PLOTBOOK.XLSM") && !IsPlotbook("/a/Plotbook (2).xlsm"));
#ifndef Q_OS_WIN
        QVERIFY(IsSpreadsheetProgram(b.filePath("soffice")) &&
                !IsSpreadsheetProgram(b.filePath("libreoffice")) &&
                !IsSpreadsheetProgram(b.path()));
#endif
    }

    // A stand-in program started the way the menu starts it records its arguments: no shell
    // splits or unquotes them, and the start does not wait.
    void standInReceivesArguments() {
        QTemporaryDir dir;
        const QString record = dir.filePath("args.txt");
        const QString program = dir.filePath("libreoffice");
        QVERIFY(WriteFile(program,
                          "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                              record.toUtf8() + ".part\"\nmv \"" + record.toUtf8() + ".part\" \"" +
                              record.toUtf8() + "\"\n",
                          true));
        const QString csv = dir.filePath("it's a \"run\" $HOME;.csv");
        QVERIFY(WriteFile(csv, "sep=;\r\nMeasured\r\n"));
        const QList<Launch> starts = OpenCommands(1, program, {}, csv, true, ".");
        QCOMPARE(starts.size(), 1);
        platform::QtPlatform p;
        QCOMPARE(p.startProgram(starts[0].program, starts[0].arguments), QString());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QFile f(record);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), DotOption + "\n" + csv + "\n");
        // A program that cannot start says why.
        QCOMPARE(p.startProgram(csv, {}), QString("Permission denied"));
    }
};

QTEST_MAIN(TestExcelHandoff)
#include "tst_excelhandoff.moc"
