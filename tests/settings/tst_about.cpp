// The about box and the splash window.
#include "platform/ScriptedPlatform.h"
#include "settings/IntroForm.h"
#include "settings/frmAbout.h"
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using platform::Answer;

namespace {

// Counts splash windows being shown anywhere in the application.
class ShowCounter : public QObject {
public:
    int shown = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<IntroForm*>(watched)) ++shown;
        return false;
    }
};

// Closes a modal window left open by a broken test so the run goes on; scoped, so it cannot
// reach into a later test.
class ModalGuard {
public:
    explicit ModalGuard(int ms) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [] {
            if (auto* w = QApplication::activeModalWidget()) w->close();
        });
        timer_.start(ms);
    }

private:
    QTimer timer_;
};

} // namespace

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void init() { oldPath_ = qgetenv("PATH"); }
    void cleanup() { qputenv("PATH", oldPath_); }

    void aboutTexts() {
        frmAbout box;
        QCOMPARE(box.windowTitle(), QString("About Sequor"));
        QCOMPARE(box.findChild<QLabel*>("lblTitle")->text(), QString("Sequor"));
        QCOMPARE(box.findChild<QLabel*>("lblVersion")->text(), QString("Version %1.%2.%3")
                                                                   .arg(SEQUOR_VERSION_MAJOR)
                                                                   .arg(SEQUOR_VERSION_MINOR)
                                                                   .arg(SEQUOR_VERSION_PATCH));
        const QStringList lines = box.findChild<QLabel*>("lblDescription")->text().split('\n');
        const QStringList expected = {
            "This software lets you save a sequence of",
            "measurements done by a selected instrument.",
            "via GPIB. The result is saved in a semicolon delimited",
            "text file (*.csv) which can be opened by MS Excel.",
            "Instrument, type of measurement, number of",
            "measurements are uniquely defined.",
            "New in version 1.3 is the possibility to send a",
            "command to a second device if a specified",
            "measurement condition occurs.",
        };
        QCOMPARE(lines, expected);
        QVERIFY(box.findChild<QLabel*>("lblDisclaimer")->text().contains("e-mail"));
        QCOMPARE(box.findChild<QPushButton*>("cmdOK")->text(), QString("&OK"));
        QCOMPARE(box.findChild<QPushButton*>("cmdSysInfo")->text(), QString("&System Info..."));
        QVERIFY(!box.findChild<QLabel*>("picIcon")->pixmap().isNull());
    }

    void okClosesAndEmptyLinksDoNothing() {
        platform::ScriptedPlatform sp;
        frmAbout box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::mouseClick(box.findChild<QLabel*>("lblWebsite"), Qt::LeftButton);
        QTest::mouseClick(box.findChild<QLabel*>("lblEmail"), Qt::LeftButton);
        QVERIFY(sp.opened.isEmpty());
        QTest::mouseClick(box.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        QVERIFY(!box.isVisible());
    }

    void mailLink_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("expected");
        QTest::newRow("address only") << "a@b.org"
                                      << ""
                                      << ""
                                      << "mailto:a@b.org";
        QTest::newRow("prefix kept, upper case") << "MAILTO:a@b.org"
                                                 << ""
                                                 << ""
                                                 << "MAILTO:a@b.org";
        QTest::newRow("prefix kept, mixed case") << "MailTo:a@b.org"
                                                 << "Sequor"
                                                 << ""
                                                 << "MailTo:a@b.org?subject=Sequor";
        QTest::newRow("prefix elsewhere is not a prefix") << "xmailto:a@b.org"
                                                          << ""
                                                          << ""
                                                          << "mailto:xmailto:a@b.org";
        QTest::newRow("subject") << "a@b.org"
                                 << "Sequor"
                                 << ""
                                 << "mailto:a@b.org?subject=Sequor";
        QTest::newRow("body only") << "a@b.org"
                                   << ""
                                   << "Hello"
                                   << "mailto:a@b.org?body=Hello";
        QTest::newRow("subject and body") << "a@b.org"
                                          << "Sequor"
                                          << "Hello"
                                          << "mailto:a@b.org?subject=Sequor&body=Hello";
    }
    void mailLink() {
        QFETCH(QString, address);
        QFETCH(QString, subject);
        QFETCH(QString, body);
        QFETCH(QString, expected);
        QCOMPARE(MailLink(address, subject, body), expected);
        platform::ScriptedPlatform sp;
        sp.startResult = false;
        QVERIFY(!frmAbout::OpenEmail(address, subject, body));
        sp.startResult = true;
        QVERIFY(frmAbout::OpenEmail(address, subject, body));
        QCOMPARE(sp.opened, QStringList({expected, expected}));
    }

    void sysInfo_data() {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<bool>("executable");
        QTest::addColumn<bool>("startWorks");
        QTest::addColumn<QString>("expectedStart"); // empty: the box instead
        QTest::newRow("nothing installed") << QStringList() << true << true << "";
        QTest::newRow("only the last choice")
            << QStringList{"gnome-system-monitor"} << true << true << "gnome-system-monitor";
        QTest::newRow("preference order")
            << QStringList{"kinfocenter", "hardinfo", "gnome-system-monitor"} << true << true
            << "hardinfo";
        QTest::newRow("not executable") << QStringList{"hardinfo2"} << false << true << "";
        QTest::newRow("start fails") << QStringList{"hardinfo2"} << true << false << "";
    }
    void sysInfo() {
        QFETCH(QStringList, installed);
        QFETCH(bool, executable);
        QFETCH(bool, startWorks);
        QFETCH(QString, expectedStart);
        QTemporaryDir bin;
        QVERIFY(bin.isValid());
        for (const QString& name : installed) {
            QFile f(bin.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("#!/bin/sh\nexit 0\n");
            f.close();
            QFileDevice::Permissions perms = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
            if (executable) perms |= QFileDevice::ExeOwner;
            QVERIFY(f.setPermissions(perms));
        }
        qputenv("PATH", bin.path().toLocal8Bit());

        platform::ScriptedPlatform sp;
        sp.startResult = startWorks;
        if (expectedStart.isEmpty()) sp.answerBox(Answer::Ok, "Sequor");
        frmAbout box;
        box.show();
        QTest::mouseClick(box.findChild<QPushButton*>("cmdSysInfo"), Qt::LeftButton);

        if (expectedStart.isEmpty()) {
            QCOMPARE(sp.boxes.size(), 1);
            QCOMPARE(sp.boxes[0].text, QString("System Information Is Unavailable At This Time"));
            QCOMPARE(sp.boxes[0].buttons, platform::Buttons::Ok);
            QCOMPARE(sp.boxes[0].icon, platform::Icon::None);
        } else {
            QVERIFY(sp.boxes.isEmpty());
            QCOMPARE(sp.started.size(), 1);
            QCOMPARE(sp.started[0].program, bin.filePath(expectedStart));
        }
        QVERIFY(box.isVisible());
    }

    void introText_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("expected");
        QTest::newRow("all") << "2.10"
                             << "July 2009 rev. March 2023"
                             << "Sequor, v2.10 / July 2009 rev. March 2023";
        QTest::newRow("no version") << ""
                                    << "July 2009 rev. March 2023"
                                    << "Sequor / July 2009 rev. March 2023";
        QTest::newRow("no date") << "2.10"
                                 << ""
                                 << "Sequor, v2.10";
        QTest::newRow("title only") << ""
                                    << ""
                                    << "Sequor";
    }
    void introText() {
        QFETCH(QString, version);
        QFETCH(QString, date);
        QFETCH(QString, expected);
        QCOMPARE(IntroText("Sequor", version, date), expected);
    }

    void introShowsNothing_data() {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("title");
        QTest::newRow("no time") << 0 << "Sequor";
        QTest::newRow("negative time") << -2 << "Sequor";
        QTest::newRow("no title") << 2 << "";
    }
    void introShowsNothing() {
        QFETCH(int, seconds);
        QFETCH(QString, title);
        ShowCounter counter;
        qApp->installEventFilter(&counter);
        ModalGuard guard(4000);
        Intro(seconds, title, "2.10", "July 2009 rev. March 2023");
        qApp->removeEventFilter(&counter);
        QCOMPARE(counter.shown, 0);
    }

    void introClosesOnClick_data() {
        QTest::addColumn<bool>("onLabel");
        QTest::newRow("window") << false;
        QTest::newRow("label") << true;
    }
    void introClosesOnClick() {
        QFETCH(bool, onLabel);
        QString shownText;
        int widthMargin = -1;
        int expectedMargin = 0;
        QTimer step;
        step.setSingleShot(true);
        step.start(200);
        connect(&step, &QTimer::timeout, this, [&] {
            auto* form = qobject_cast<IntroForm*>(QApplication::activeModalWidget());
            if (!form) return;
            auto* label = form->findChild<QLabel*>("Label1");
            shownText = label->text();
            widthMargin = form->width() - label->width();
            expectedMargin = (600 * form->logicalDpiX() + 720) / 1440;
            if (onLabel)
                QTest::mouseClick(label, Qt::LeftButton);
            else
                QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(2, 2));
        });
        ModalGuard guard(6000);
        QElapsedTimer clock;
        clock.start();
        Intro(5, "Sequor", "", "July 2009 rev. March 2023");
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(shownText, QString("Sequor / July 2009 rev. March 2023"));
        QCOMPARE(widthMargin, expectedMargin);
        QVERIFY2(elapsed < 2000, qPrintable(QString::number(elapsed)));
    }

    void introClosesAfterItsTime() {
        bool stillOpenHalfway = false;
        QTimer step;
        step.setSingleShot(true);
        step.start(600);
        connect(&step, &QTimer::timeout, this, [&] {
            stillOpenHalfway = qobject_cast<IntroForm*>(QApplication::activeModalWidget());
        });
        ModalGuard guard(5000);
        QElapsedTimer clock;
        clock.start();
        Intro(1, "Sequor", "2.10", "July 2009 rev. March 2023");
        const qint64 elapsed = clock.elapsed();
        QVERIFY(stillOpenHalfway);
        QVERIFY2(elapsed >= 950 && elapsed < 2500, qPrintable(QString::number(elapsed)));
    }

private:
    QByteArray oldPath_;
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
