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
        QTest::mouseClick(website, Qt::RightButton); // only a left click opens it
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

    // The splash closes after its second, or at once on a click (600 ms in) on its label.
    void intro() {
        for (const bool click : {false, true}) {
            // A case whose splash never showed fails on its time alone.
            QTimer::singleShot(600, [click] {
                if (QWidget* w = click ? QApplication::activeModalWidget() : nullptr)
                    QTest::mouseClick(w->findChild<QLabel*>(), Qt::LeftButton);
            });
            const qint64 start = QDeadlineTimer::current().deadline();
            Intro(click ? 5 : 1, "Sequor", {}, "July 2009");
            const qint64 ms = QDeadlineTimer::current().deadline() - start;
            QVERIFY2(click ? ms > 500 && ms < 2000 : ms > 950 && ms < 2500, QByteArray::number(ms));
        }
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
