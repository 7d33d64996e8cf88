// The desktop platform's settings store, message box and file-dialog helpers, and the
// scripted double that every other test relies on.
#include "platform/QtPlatform.h"
#include "platform/ScriptedPlatform.h"
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace platform;

Q_DECLARE_METATYPE(platform::Buttons)
Q_DECLARE_METATYPE(platform::Answer)

class TestPlatform : public QObject {
    Q_OBJECT

private slots:
    // Each test gets an empty config folder of its own.
    void init() {
        oldXdg_ = qgetenv("XDG_CONFIG_HOME");
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        qputenv("XDG_CONFIG_HOME", dir_->path().toLocal8Bit());
    }
    void cleanup() {
        if (oldXdg_.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", oldXdg_);
        dir_.reset();
    }

    void settingValueRoundTrips_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << "SOME TEXT";
        QTest::newRow("empty") << "";
        QTest::newRow("comma") << "1,5";
        QTest::newRow("semicolon and equals") << "a;b=c # d";
        QTest::newRow("outer blanks") << "  padded  ";
        QTest::newRow("backslashes") << "c:\\data\\";
        QTest::newRow("quotes") << "say \"ID?\"";
        QTest::newRow("variant look-alike") << "@Variant(abc)";
        QTest::newRow("non-ascii") << QString::fromUtf8("5 \xc2\xb5V");
        QTest::newRow("number-like") << "0012.50";
    }
    void settingValueRoundTrips() {
        QFETCH(QString, value);
        QtPlatform().writeSetting("Sequor", "Settings", "Query", value);
        // A separate instance must see it: nothing of the value lives in the writer.
        const QString back = QtPlatform().readSetting("Sequor", "Settings", "Query", "DEFAULT");
        QCOMPARE(back, value);
    }

    void settingIsOnDiskUnderConfigFolder() {
        QtPlatform().writeSetting("Sequor", "Settings3", "Interval", "15");
        QFile file(dir_->filePath("Sequor/Sequor.ini"));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("[Settings3]"));
        QVERIFY(text.contains("Interval=15"));
    }

    void changedConfigFolderIsFollowed() {
        QtPlatform p;
        p.writeSetting("Sequor", "Settings", "Key", "first");
        QTemporaryDir other;
        QVERIFY(other.isValid());
        qputenv("XDG_CONFIG_HOME", other.path().toLocal8Bit());
        QCOMPARE(p.readSetting("Sequor", "Settings", "Key", "none"), QString("none"));
        p.writeSetting("Sequor", "Settings", "Key", "second");
        QVERIFY(QFile::exists(other.filePath("Sequor/Sequor.ini")));
        qputenv("XDG_CONFIG_HOME", dir_->path().toLocal8Bit());
        QCOMPARE(p.readSetting("Sequor", "Settings", "Key", "none"), QString("first"));
    }

    void sectionsKeysAndApplicationsAreSeparate() {
        QtPlatform p;
        p.writeSetting("Sequor", "Settings", "Address", "7");
        p.writeSetting("Sequor", "Settings1", "Address", "12");
        p.writeSetting("Busmate", "Settings", "Address", "22");
        QCOMPARE(p.readSetting("Sequor", "Settings", "Address", "x"), QString("7"));
        QCOMPARE(p.readSetting("Sequor", "Settings1", "Address", "x"), QString("12"));
        QCOMPARE(p.readSetting("Busmate", "Settings", "Address", "x"), QString("22"));
        QCOMPARE(p.readSetting("Sequor", "Settings2", "Address", "x"), QString("x"));
        QCOMPARE(p.readSetting("Sequor", "Settings", "Missing", "dflt"), QString("dflt"));
        QCOMPARE(p.readSetting("Other", "Settings", "Address", ""), QString());
        QVERIFY(QFile::exists(dir_->filePath("Busmate/Busmate.ini")));
    }

    void fileFilter_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("expected");
        QTest::newRow("pattern already named") << "Semicolon delimited text (*.csv)|*.csv"
                                               << "Semicolon delimited text (*.csv)";
        QTest::newRow("plain description") << "Message lists|*.gmg"
                                           << "Message lists (*.gmg)";
        QTest::newRow("several pairs") << "Data (*.dat)|*.dat|All files (*.*)|*.*"
                                       << "Data (*.dat);;All files (*.*)";
        QTest::newRow("semicolon patterns") << "Text|*.txt;*.log"
                                            << "Text (*.txt *.log)";
        QTest::newRow("bracket is not the pattern") << "Data (old)|*.dat"
                                                    << "Data (old) (*.dat)";
        QTest::newRow("single name") << "Excel Main Program (excel.exe)|excel.exe"
                                     << "Excel Main Program (excel.exe)";
        QTest::newRow("empty") << ""
                               << "";
    }
    void fileFilter() {
        QFETCH(QString, filter);
        QFETCH(QString, expected);
        QCOMPARE(QtFileFilter(filter), expected);
    }

    void defaultExtension_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("expected");
        QTest::newRow("bare name") << "/tmp/run"
                                   << "csv"
                                   << "/tmp/run.csv";
        QTest::newRow("dotted extension") << "/tmp/run"
                                          << ".csv"
                                          << "/tmp/run.csv";
        QTest::newRow("has one") << "/tmp/run.txt"
                                 << "csv"
                                 << "/tmp/run.txt";
        QTest::newRow("trailing dot") << "/tmp/run."
                                      << "csv"
                                      << "/tmp/run.csv";
        QTest::newRow("dot in folder only") << "/tmp/a.b/run"
                                            << "csv"
                                            << "/tmp/a.b/run.csv";
        QTest::newRow("hidden name") << "/tmp/.run"
                                     << "csv"
                                     << "/tmp/.run.csv";
        QTest::newRow("no extension asked") << "/tmp/run"
                                            << ""
                                            << "/tmp/run";
    }
    void defaultExtension() {
        QFETCH(QString, path);
        QFETCH(QString, extension);
        QFETCH(QString, expected);
        QCOMPARE(WithDefaultExtension(path, extension), expected);
    }

    void messageBoxAnswers_data() {
        QTest::addColumn<Buttons>("buttons");
        QTest::addColumn<Answer>("defaultButton");
        QTest::addColumn<int>("key");
        QTest::addColumn<Answer>("expected");
        const int esc = Qt::Key_Escape, ret = Qt::Key_Return;
        QTest::newRow("ok, escape") << Buttons::Ok << Answer::Ok << esc << Answer::Ok;
        QTest::newRow("ok/cancel, escape")
            << Buttons::OkCancel << Answer::Ok << esc << Answer::Cancel;
        QTest::newRow("yes/no, escape") << Buttons::YesNo << Answer::Yes << esc << Answer::No;
        QTest::newRow("yes/no/cancel, escape")
            << Buttons::YesNoCancel << Answer::Yes << esc << Answer::Cancel;
        QTest::newRow("yes/no, enter on default no")
            << Buttons::YesNo << Answer::No << ret << Answer::No;
        QTest::newRow("yes/no/cancel, enter on default cancel")
            << Buttons::YesNoCancel << Answer::Cancel << ret << Answer::Cancel;
        QTest::newRow("ok/cancel, enter on default ok")
            << Buttons::OkCancel << Answer::Ok << ret << Answer::Ok;
        // Closing the window (key 0 here) behaves like Escape.
        QTest::newRow("yes/no, closed") << Buttons::YesNo << Answer::Yes << 0 << Answer::No;
    }
    void messageBoxAnswers() {
        QFETCH(Buttons, buttons);
        QFETCH(Answer, defaultButton);
        QFETCH(int, key);
        QFETCH(Answer, expected);
        const QString text = QStringLiteral("<b>line 1</b>\nline 2");
        bool sawPlainText = false;
        QTimer step;
        step.setSingleShot(true);
        step.start(0);
        connect(&step, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            sawPlainText = box->textFormat() == Qt::PlainText && box->text() == text &&
                           box->windowTitle() == "Title";
            if (key == 0)
                box->close();
            else
                QTest::keyClick(box, Qt::Key(key));
        });
        // Should the box not react, do not hang the run.
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, this, [] {
            if (auto* w = QApplication::activeModalWidget()) w->close();
        });
        guard.start(3000);
        const Answer got =
            QtPlatform().messageBox("Title", text, buttons, Icon::Question, defaultButton);
        QVERIFY(sawPlainText);
        QCOMPARE(got, expected);
    }

    void scriptedSettingsStartEmpty() {
        ScriptedPlatform sp;
        QCOMPARE(&Sys(), static_cast<Platform*>(&sp));
        QCOMPARE(Sys().readSetting("Sequor", "Settings", "K", "dflt"), QString("dflt"));
        Sys().writeSetting("Sequor", "Settings", "K", "v");
        QCOMPARE(Sys().readSetting("Sequor", "Settings", "K", "dflt"), QString("v"));
        QCOMPARE(Sys().readSetting("Sequor", "Settings1", "K", "dflt"), QString("dflt"));
        QCOMPARE(Sys().readSetting("Busmate", "Settings", "K", "dflt"), QString("dflt"));
        // Nothing reached the real store.
        QVERIFY(!QFile::exists(dir_->filePath("Sequor/Sequor.ini")));
    }

    void scriptedDoubleIsRemovedWithItsScope() {
        Platform* before = &Sys();
        {
            ScriptedPlatform outer;
            {
                ScriptedPlatform inner;
                QCOMPARE(&Sys(), static_cast<Platform*>(&inner));
            }
            QCOMPARE(&Sys(), static_cast<Platform*>(&outer));
        }
        QCOMPARE(&Sys(), before);
        QVERIFY(dynamic_cast<QtPlatform*>(&Sys()) != nullptr);
    }

    void scriptedUnexpectedBoxFails() {
        ScriptedPlatform sp;
        QEXPECT_FAIL("", "no answer was queued, so the double must fail the test", Continue);
        MsgBox("Surprise", "text", Buttons::Ok, Icon::None);
        QCOMPARE(sp.boxes.size(), 1);
    }

    void scriptedWrongTitleFails() {
        ScriptedPlatform sp;
        sp.answerBox(Answer::Ok, "Expected");
        QEXPECT_FAIL("", "the box's title differs from the queued one", Continue);
        MsgBox("Actual", "text", Buttons::Ok, Icon::None);
        QCOMPARE(sp.pendingAnswers(), 0);
    }

    void scriptedEndProgramThrows() {
        ScriptedPlatform sp;
        bool caught = false;
        try {
            Sys().endProgram(3);
        } catch (const ProgramEnded& e) {
            caught = e.code == 3;
        }
        QVERIFY(caught);
        QVERIFY(sp.ended);
        QCOMPARE(sp.exitCode, 3);
    }

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QByteArray oldXdg_;
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
