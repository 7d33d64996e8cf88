// The spreadsheet menus of the main window: setting both paths with their confirmations and
// refusals, when the Open items are enabled, the "could not be found" checks and what is
// started.
#include "FileBytes.h"
#include "FormFixture.h"
#include <QtTest>

using namespace platform;

namespace {
// A small log at the path, or a program when executable.
bool Touch(const QString& path, bool executable = false) {
    return WriteFile(path, "sep=;\r\n", executable);
}
} // namespace

class TestExcelMenus : public QObject {
    Q_OBJECT

private slots:
    void pathsAndOpening() {
        QTemporaryDir dir;
        const QString office = dir.filePath("soffice"), book = dir.filePath("My Plotbook.xlsm");
        QVERIFY(Touch(office, true) && Touch(book) && Touch(dir.filePath("notes.txt")));
        qputenv("PATH", dir.path().toLocal8Bit()); // no test here needs another PATH after
        FormFixture f(BenchJson(R"({ "address": 3, "replies": {} })"));
        QVERIFY(f.start());
        auto open = [&] {
            return QList{f.p.Menu_OpenExcel[1]->isEnabled(), f.p.Menu_OpenExcel[2]->isEnabled()};
        };
        QCOMPARE(open(), QList({false, false}));

        // No path yet: straight to the dialog, which starts where the spreadsheet program is.
        f.sys.answerFileDialog(dir.filePath("notes.txt"));
        f.sys.answerBox(Answer::Ok, "Excel Path Error");
        f.ui()->Menu_ExcelPath->trigger();
        QCOMPARE(f.sys.boxes.last().text,
                 "This is not a valid path to Excel.exe.\n\nIt will not be saved.");
        QCOMPARE(f.sys.fileDialogs.last().folder, dir.path());
        f.sys.answerFileDialog(office);
        f.ui()->Menu_ExcelPath->trigger();
        QCOMPARE(f.sys.settings.value("Sequor/Settings/ExcelPath"), office);

        // The log appears in the chosen folder: the plain Open item only, until a workbook.
        QVERIFY(Touch(dir.filePath("Test.csv")));
        f.ui()->Text_Path->setText(dir.path());
        QCOMPARE(open(), QList({true, false}));
        // A path the store refuses still serves this session, and the user is told.
        f.sys.settingsWriteFailure = "/cfg/Sequor/Sequor.ini could not be written.";
        f.sys.answerFileDialog(book);
        f.sys.answerBox(Answer::Ok, "Save Settings Error");
        f.ui()->Menu_PlotbookPath->trigger();
        QVERIFY(f.sys.boxes.last().text.startsWith("The path to Plotbook could not be saved."));
        f.sys.settingsWriteFailure.clear();
        QCOMPARE(open(), QList({true, true}));

        f.ui()->Menu_OpenExcel_2->trigger();
        QCOMPARE(f.sys.started.size(), 2);
        QCOMPARE(f.sys.started[0].program + "|" + f.sys.started[0].arguments.join('|'),
                 office + "|" + book);
        QCOMPARE(f.sys.started[1].arguments.last(), dir.filePath("Test.csv"));

        // A program that does not start is named, with the reason; the workbook is not opened.
        f.sys.startFailure = "Permission denied";
        f.sys.answerBox(Answer::Ok, "Excel Start Error");
        f.ui()->Menu_OpenExcel_2->trigger();
        QCOMPARE(f.sys.boxes.last().text, office + " could not be started.\nPermission denied");
        QCOMPARE(f.sys.started.size(), 3);

        // A log gone since the menus were set is named.
        QVERIFY(QFile::remove(dir.filePath("Test.csv")));
        f.sys.answerBox(Answer::Ok, "Open csv-file Error");
        f.ui()->Menu_OpenExcel_1->trigger();
        QCOMPARE(f.sys.boxes.last().text, "Test.csv could not be found.");
        QCOMPARE(f.sys.started.size(), 3); // nothing more was started
    }
};

QTEST_MAIN(TestExcelMenus)
#include "tst_excelmenus.moc"
