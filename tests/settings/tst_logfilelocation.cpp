// The Log File frame: the name checks, the key filter, the folder and file dialogs.
#include "FormFixture.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using platform::Answer;

namespace {
const QByteArray Bench = BenchJson(R"({ "address": 3, "replies": { "MEAS?": "1" } })");

// A shown, active main window whose name box can take and lose the focus.
struct Window {
    Window() : f(Bench) {}
    bool open() {
        if (!dir.isValid() || !f.start()) return false;
        f.ui()->Text_Path->setText(dir.path());
        f.form->CsvFile = dir.filePath("Test.csv");
        SettingsChanged = false;
        f.form->show();
        f.form->activateWindow();
        return QTest::qWaitForWindowActive(f.form.get());
    }
    QLineEdit* name() const { return f.ui()->Text_FileName; }
    void enterName() {
        f.ui()->Text_MeasQuery->setFocus();
        name()->setFocus(Qt::TabFocusReason);
    }
    void leaveName() { f.ui()->Text_MeasQuery->setFocus(Qt::TabFocusReason); }

    FormFixture f;
    QTemporaryDir dir;
};
} // namespace

class TestLogFileLocation : public QObject {
    Q_OBJECT
private slots:
    void leavingTheNameBox_data();
    void leavingTheNameBox();
    void emptyNameIsRestored();
    void keyFilter_data();
    void keyFilter();
    void folderDialog_data();
    void folderDialog();
    void fileDialog_data();
    void fileDialog();
    void fileMenuChecksTheNameFirst_data();
    void fileMenuChecksTheNameFirst();
};

void TestLogFileLocation::leavingTheNameBox_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("answer"); // -1: no question expected
    QTest::addColumn<QString>("result");
    QTest::newRow("no extension, Yes") << "data" << int(Answer::Yes) << "data.csv";
    QTest::newRow("no extension, No") << "data" << int(Answer::No) << "data";
    QTest::newRow("ends in a full stop") << "data." << int(Answer::Yes) << "data.csv";
    QTest::newRow("upper case passes") << "DATA.CSV" << -1 << "DATA.CSV";
    QTest::newRow(".csv inside passes") << "my.csvx" << -1 << "my.csvx";
    QTest::newRow("unchanged name") << "Test.csv" << -1 << "Test.csv";
}

void TestLogFileLocation::leavingTheNameBox() {
    QFETCH(QString, typed);
    QFETCH(int, answer);
    QFETCH(QString, result);

    Window w;
    QVERIFY(w.open());
    w.enterName();
    w.name()->selectAll();
    QTest::keyClicks(w.name(), typed);
    QCOMPARE(w.name()->text(), typed);
    if (answer >= 0) w.f.sys.answerBox(Answer(answer), "Check File Name");
    w.leaveName();

    if (answer >= 0) {
        QCOMPARE(w.f.sys.boxes.size(), 1);
        QCOMPARE(w.f.sys.boxes[0].text, "Extension csv not found.\nDo you want to add it ?");
        QCOMPARE(w.f.sys.boxes[0].buttons, platform::Buttons::YesNo);
        QCOMPARE(w.f.sys.boxes[0].icon, platform::Icon::Question);
    }
    QCOMPARE(w.f.sys.boxes.size(), answer >= 0 ? 1 : 0);
    QCOMPARE(w.name()->text(), result);
    QCOMPARE(w.f.form->CsvFile, w.dir.filePath(result));
    QCOMPARE(SettingsChanged, result != "Test.csv");
}

void TestLogFileLocation::emptyNameIsRestored() {
    Window w;
    QVERIFY(w.open());
    w.name()->setText("Keep.csv");
    w.enterName();
    QTest::mouseDClick(w.name(), Qt::LeftButton);
    QCOMPARE(w.name()->text(), QString());
    w.leaveName();
    QCOMPARE(w.name()->text(), "Keep.csv");
    QVERIFY(w.f.sys.boxes.isEmpty());
    QCOMPARE(w.f.form->CsvFile, w.dir.filePath("Test.csv")); // nothing else happens
    QVERIFY(!SettingsChanged);
}

void TestLogFileLocation::keyFilter_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::newRow("second full stop dropped") << "data.csv.bak"
                                              << "data.csvbak";
    QTest::newRow("blank, colon, backslash, slash dropped") << "a b:c\\d/e"
                                                            << "abcde";
    QTest::newRow("letters, digits, - and _ pass") << "Run-2_x.CSV"
                                                   << "Run-2_x.CSV";
    QTest::newRow("other punctuation dropped") << "a*?\"<>|;b"
                                               << "ab";
}

void TestLogFileLocation::keyFilter() {
    QFETCH(QString, keys);
    QFETCH(QString, text);

    Window w;
    QVERIFY(w.open());
    w.enterName();
    w.name()->clear();
    QTest::keyClicks(w.name(), keys);
    QCOMPARE(w.name()->text(), text);
    QTest::keyClick(w.name(), Qt::Key_Backspace);
    QCOMPARE(w.name()->text(), text.chopped(1));
}

void TestLogFileLocation::folderDialog_data() {
    QTest::addColumn<bool>("deleted");   // the folder in the path box was removed
    QTest::addColumn<bool>("cancelled"); // else the user opens the "chosen" folder
    QTest::newRow("deleted folder, Cancel") << true << true;
    QTest::newRow("deleted folder, chosen") << true << false;
    QTest::newRow("existing folder, chosen") << false << false;
    QTest::newRow("existing folder, Cancel") << false << true;
}

void TestLogFileLocation::folderDialog() {
    QFETCH(bool, deleted);
    QFETCH(bool, cancelled);

    Window w;
    QVERIFY(w.open());
    const QString gone = w.dir.filePath("gone");
    const QString chosen = w.dir.filePath("chosen");
    QVERIFY(QDir().mkpath(gone) && QDir().mkpath(chosen));
    w.f.ui()->Text_Path->setText(gone);
    SettingsChanged = false;
    if (deleted) {
        QVERIFY(QDir(gone).removeRecursively());
        w.f.sys.answerBox(Answer::Ok, "Path Error");
    }
    if (cancelled)
        w.f.sys.cancelFileDialog();
    else
        w.f.sys.answerFileDialog(chosen + "/Open Folder");
    w.f.ui()->Button_Path->click();

    const QString start = deleted ? MainForm::DefaultFolder() : gone;
    if (deleted) {
        QCOMPARE(w.f.sys.boxes.size(), 1);
        QCOMPARE(w.f.sys.boxes[0].text, "The current path and/or drive does not exist.\nThe Path "
                                        "will be reset to " +
                                            MainForm::DefaultFolder());
        QCOMPARE(w.f.sys.boxes[0].icon, platform::Icon::Warning);
    }
    QCOMPARE(w.f.sys.fileDialogs.size(), 1);
    const platform::FileDialogRequest& r = w.f.sys.fileDialogs[0];
    QCOMPARE(r.title, "Select csv-file Path");
    QCOMPARE(r.folder, start);
    QCOMPARE(r.proposedName, "Open Folder");
    QCOMPARE(r.flags, 268);
    const QString path = cancelled ? start : chosen;
    QCOMPARE(w.f.ui()->Text_Path->text(), path);
    QCOMPARE(w.f.form->CsvFile, path + "/Test.csv");
    QCOMPARE(SettingsChanged, deleted || !cancelled);
}

void TestLogFileLocation::fileDialog_data() {
    QTest::addColumn<QString>("returned"); // relative to the other folder; empty: Cancel
    QTest::addColumn<QString>("name");     // the name box afterwards
    QTest::newRow("other folder") << "run.csv"
                                  << "run.csv";
    QTest::newRow("other folder, no extension: asks") << "run"
                                                      << "run.csv";
    QTest::newRow("Cancel changes nothing") << ""
                                            << "Test.csv";
}

void TestLogFileLocation::fileDialog() {
    QFETCH(QString, returned);
    QFETCH(QString, name);

    Window w;
    QVERIFY(w.open());
    const QString other = w.dir.filePath("other");
    QVERIFY(QDir().mkpath(other));
    const QString csvBefore = w.f.form->CsvFile;
    if (returned.isEmpty()) {
        w.f.sys.cancelFileDialog();
    } else {
        w.f.sys.answerFileDialog(other + "/" + returned);
        if (!returned.endsWith(".csv")) w.f.sys.answerBox(Answer::Yes, "Check File Name");
    }
    w.f.ui()->Button_File->click();

    QCOMPARE(w.f.sys.fileDialogKinds, QStringList{"save"});
    const platform::FileDialogRequest& r = w.f.sys.fileDialogs[0];
    QCOMPARE(r.title, "Log File");
    QCOMPARE(r.folder, w.dir.path());
    QCOMPARE(r.filter, "Semicolon delimited text (*.csv)|*.csv");
    QCOMPARE(r.defaultExtension, "csv");
    QCOMPARE(r.flags, 12);
    QCOMPARE(w.f.sys.pendingAnswers(), 0);
    QCOMPARE(w.name()->text(), name);
    if (returned.isEmpty()) {
        QCOMPARE(w.f.ui()->Text_Path->text(), w.dir.path());
        QCOMPARE(w.f.form->CsvFile, csvBefore);
        QVERIFY(!SettingsChanged);
    } else {
        QCOMPARE(w.f.ui()->Text_Path->text(), other);
        QCOMPARE(w.f.form->CsvFile, other + "/" + name);
        QVERIFY(SettingsChanged);
    }
}

void TestLogFileLocation::fileMenuChecksTheNameFirst_data() {
    QTest::addColumn<bool>("nameFocused");
    QTest::newRow("name box focused") << true;
    QTest::newRow("another box focused") << false;
}

void TestLogFileLocation::fileMenuChecksTheNameFirst() {
    QFETCH(bool, nameFocused);

    Window w;
    QVERIFY(w.open());
    w.name()->setText("x");
    if (nameFocused) {
        w.enterName();
        w.f.sys.answerBox(Answer::Yes, "Check File Name");
    } else {
        w.leaveName();
    }
    w.f.form->Menu_File_Click();

    QCOMPARE(w.f.sys.boxes.size(), nameFocused ? 1 : 0);
    QCOMPARE(w.name()->text(), nameFocused ? "x.csv" : "x");
    if (nameFocused) QCOMPARE(w.f.form->CsvFile, w.dir.filePath("x.csv"));
}

QTEST_MAIN(TestLogFileLocation)
#include "tst_logfilelocation.moc"
