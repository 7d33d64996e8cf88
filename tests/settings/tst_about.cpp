// The about box.
#include "platform/ScriptedPlatform.h"
#include "settings/ui/frmAbout.h"
#include <QTemporaryDir>
#include <QTest>

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
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
