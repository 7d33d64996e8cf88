// The about box and the splash window.
#include "platform/ScriptedPlatform.h"
#include "settings/IntroForm.h"
#include "settings/frmAbout.h"
#include <QDeadlineTimer>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void aboutTexts() {
        frmAbout box;
        QCOMPARE(box.windowTitle() + '|' + box.findChild<QLabel*>("lblDescription")->text(),
                 u"About Sequor|This software lets you save a sequence of\nmeasurements done by a "
                 "selected instrument.\nvia GPIB. The result is saved in a semicolon delimited\n"
                 "text file (*.csv) which can be opened by MS Excel.\nInstrument, type of "
                 "measurement, number of\nmeasurements are uniquely defined.\nNew in version 1.3 "
                 "is the possibility to send a\ncommand to a second device if a specified\n"
                 "measurement condition occurs."_s);
    }

    // What the box hands to the desktop: mail links and the system information program.
    void openEmailAndSysInfo() {
        platform::ScriptedPlatform sp; // fails the test on any box not queued here
        QVERIFY(frmAbout::OpenEmail(u"MAILTO:a@b"_s, u"Sequor"_s, u"Hi"_s));
        QVERIFY(frmAbout::OpenEmail(u"a@b"_s, QString(), u"Hi"_s));
        QCOMPARE(sp.opened.join(' '), u"MAILTO:a@b?subject=Sequor&body=Hi mailto:a@b?body=Hi"_s);
        QTemporaryDir bin;
        const auto restore = qScopeGuard([old = qgetenv("PATH")] { qputenv("PATH", old); });
        qputenv("PATH", bin.path().toLocal8Bit());
        sp.answerBox(platform::Answer::Ok, u"Sequor"_s);
        frmAbout::StartSysInfo(); // nothing installed
        QCOMPARE(sp.boxes.value(0).text, u"System Information Is Unavailable At This Time"_s);
        for (const QString& name : {u"kinfocenter"_s, u"hardinfo"_s})
            QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), bin.filePath(name)));
        frmAbout().findChild<QPushButton*>("cmdSysInfo")->click();
        QCOMPARE(sp.started.size(), 1);
        QCOMPARE(sp.started[0].program, bin.filePath(u"hardinfo"_s)); // the preferred one
    }

    void intro_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("click"); // after 600 ms: 0 none (1 s splash), 1 window, 2 label
        QTest::addColumn<QString>("text");
        QTest::newRow("after its second") << QString() << 0 << u"Sequor / July 2009"_s;
        QTest::newRow("click on window") << u"2.10"_s << 1 << u"Sequor, v2.10 / July 2009"_s;
        QTest::newRow("click on label") << QString() << 2 << u"Sequor / July 2009"_s;
    }
    void intro() {
        QFETCH(QString, version);
        QFETCH(int, click);
        QFETCH(QString, text);
        QString shown;
        QObject scope; // the timers die with it, so they cannot reach into a later test
        QTimer::singleShot(600, &scope, [&] {
            if (auto* form = qobject_cast<IntroForm*>(QApplication::activeModalWidget())) {
                shown = form->findChild<QLabel*>("Label1")->text();
                QWidget* target = click == 2 ? form->findChild<QWidget*>("Label1") : form;
                if (click) QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(2, 2));
            }
        });
        QTimer::singleShot(6000, &scope, [] { QApplication::closeAllWindows(); });
        const qint64 start = QDeadlineTimer::current().deadline();
        Intro(click ? 5 : 1, u"Sequor"_s, version, u"July 2009"_s);
        const qint64 ms = QDeadlineTimer::current().deadline() - start;
        QCOMPARE(shown, text);
        QVERIFY2(click ? ms < 2000 : ms >= 950 && ms < 2500, qPrintable(QString::number(ms)));
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
