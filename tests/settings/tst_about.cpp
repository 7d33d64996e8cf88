// The about box and the splash window.
#include "platform/ScriptedPlatform.h"
#include "settings/ui/IntroForm.h"
#include "settings/ui/frmAbout.h"
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    // What the box hands to the desktop: mail links, the website and the system information
    // program.
    void aboutBox() {
        frmAbout box;
        platform::ScriptedPlatform sp; // fails the test on any box not queued here
        QVERIFY(frmAbout::OpenEmail("MAILTO:a@b", "Sequor", "Hi") &&
                frmAbout::OpenEmail("a@b", {}, "Hi"));
        auto* website = box.findChild<QLabel*>("lblWebsite");
        website->setText("https://sequor.invalid/");
        QTest::mouseClick(website, Qt::LeftButton);
        QCOMPARE(sp.opened.join(' '), "MAILTO:a@b?subject=Sequor&body=Hi mailto:a@b?body=Hi "
                                      "https://sequor.invalid/");
        // Only programs linked into an empty folder can be found (this process needs no other
        // PATH afterwards).
        QTemporaryDir bin;
        qputenv("PATH", bin.path().toLocal8Bit());
        QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), bin.filePath("hardinfo")));
        box.findChild<QPushButton*>("cmdSysInfo")->click();
        QCOMPARE(sp.started.size() == 1 ? sp.started[0].program : "", bin.filePath("hardinfo"));
    }

    // A click on the splash (600 ms in) closes it at once, long before its five seconds.
    void introClosesOnClick() {
        QTimer::singleShot(600, [] {
            if (QWidget* w = QApplication::activeModalWidget())
                QTest::mouseClick(w->findChild<QLabel*>(), Qt::LeftButton);
        });
        const QDeadlineTimer deadline(2000);
        Intro(5, "Sequor", {}, "July 2009");
        QVERIFY(!deadline.hasExpired() && deadline.remainingTime() < 1400);
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
