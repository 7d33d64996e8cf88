// The one translation of key, double-click, focus and click events every window uses.
#include "Focus.h"
#include "widgets/ControlEvents.h"
#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

class TestControlEvents : public QObject {
    Q_OBJECT
private slots:
    // A box that takes digits only (as the timing boxes do) and one that forces upper case:
    // typed characters pass the filter whatever modifiers typed them; editing keys keep their
    // usual meaning; Enter is the handler's alone. The cursor starts after "12" in "123".
    void filteredBox_data() {
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<QString>("text"); // as the desktop gives it (X11: Delete "\x7f")
        QTest::addColumn<bool>("digitsOnly");
        // The box afterwards, '|' at the cursor, then what the handler heard.
        QTest::addColumn<QString>("after");
        QTest::newRow("digit") << QKeyCombination(Qt::Key_5) << "5" << true << "125|3 5";
        QTest::newRow("letter dropped") << QKeyCombination(Qt::Key_A) << "a" << true << "12|3 a";
        QTest::newRow("upper: a") << QKeyCombination(Qt::Key_A) << "a" << false << "12A|3 a";
        QTest::newRow("Delete") << QKeyCombination(Qt::Key_Delete) << "\x7f" << true << "12| ";
        QTest::newRow("Backspace")
            << QKeyCombination(Qt::Key_Backspace) << "\b" << true << "1|3 \b";
        QTest::newRow("Enter") << QKeyCombination(Qt::Key_Return) << "\r" << true << "12|3 \r";
        QTest::newRow("upper: Ctrl+V")
            << (Qt::ControlModifier | Qt::Key_V) << "v" << false << "12|3 ";
        QTest::newRow("AltGr \\ as Ctrl+Alt")
            << (Qt::ControlModifier | Qt::AltModifier | Qt::Key_Backslash) << "\\" << true
            << "12|3 \\";
    }
    void filteredBox() {
        QFETCH(QKeyCombination, key);
        QFETCH(QString, text);
        QFETCH(bool, digitsOnly);
        QLineEdit box("123");
        box.setCursorPosition(2);
        QString heard = " ";
        ctl::Attach(&box, {.keyPress = [&](int& k) {
            heard += QChar(k);
            if (digitsOnly && k != 8 && k != 13 && (k < '0' || k > '9')) k = 0;
            if (!digitsOnly && k >= 'a' && k <= 'z') k -= 'a' - 'A';
        }});
        QObject::connect(&box, &QLineEdit::returnPressed, [&] { heard += "returnPressed"; });
        QTest::sendKeyEvent(QTest::Click, &box, key.key(), text, key.keyboardModifiers());
        QTEST(box.text().insert(box.cursorPosition(), '|') + heard, "after");
    }

    // Tab and Shift+Tab move the focus (the box's lost-focus handling runs) and Escape cancels
    // the dialog, even from boxes whose filter drops every key; a box may name where Tab goes.
    // A double click is the handler's alone; a label reports left clicks only.
    void dialog() {
        QDialog dialog;
        auto* layout = new QVBoxLayout(&dialog);
        std::array<QLineEdit*, 3> box{};
        for (QLineEdit*& b : box)
            layout->addWidget(b = new QLineEdit("x", &dialog));
        auto* label = new QLabel("Label1", &dialog);
        int lost = 0, doubles = 0, clicks = 0;
        const auto dropAll = [](int& k) { k = 0; };
        ctl::Attach(box[0], {.keyPress = dropAll, .lostFocus = [&] { ++lost; }});
        ctl::Attach(box[1], {.keyPress = dropAll, .tabTo = [&] { return box[0]; }});
        ctl::Attach(
            box[2],
            {.keyPress = dropAll, .dblClick = [&] { ++doubles; }, .tabTo = [] { return nullptr; }});
        ctl::Attach(label, {.click = [&] { ++clicks; }});
        QVERIFY(ShowActive(&dialog));
        box[0]->setFocus();
        // 0 -> 1, 1 -> 0 as named, 0 -> 2 around the end, 2 -> 0 in the usual order.
        QList<QLineEdit*> landed;
        for (const QKeyCombination key : QList<QKeyCombination>{
                 Qt::Key_Tab, Qt::Key_Tab, Qt::ShiftModifier | Qt::Key_Backtab, Qt::Key_Tab}) {
            QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            landed << qobject_cast<QLineEdit*>(QApplication::focusWidget());
        }
        QCOMPARE(landed, QList<QLineEdit*>({box[1], box[0], box[2], box[0]}));
        QTest::mouseDClick(box[2], Qt::LeftButton);
        QTest::mouseClick(label, Qt::RightButton);
        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(QVariantList({lost, doubles, clicks, box[2]->hasSelectedText()}),
                 QVariantList({3, 1, 1, false})); // the double click took the focus too
        QTest::keyClick(box[0], Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
    }

    // Opening a combo box's list does not make the box lose the focus, nor does closing it
    // make it gain it. A box asked on leaving (its own event loop takes the release of the
    // click that took the focus away) drops that click whole: no button is left held down, the
    // next click counts.
    void focusAroundListsAndQuestions() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* button = new QPushButton("Clear", &window); // has the focus first
        auto* combo = new QComboBox(&window);
        layout->addWidget(button);
        layout->addWidget(combo);
        combo->setEditable(true);
        combo->addItems({"A", "B"});
        int clicks = 0;
        QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
        QStringList seen;
        QPoint at;
        ctl::Attach(combo, {.gotFocus = [&] { seen << "got"; },
                            .lostFocus =
                                [&] {
                                    seen << "lost";
                                    QMessageBox question(QMessageBox::Question, "Check File Name",
                                                         "Add it ?", QMessageBox::Yes, &window);
                                    QTimer::singleShot(10, &question, [&] {
                                        QTest::mouseRelease(window.windowHandle(), Qt::LeftButton,
                                                            {}, at);
                                        question.accept();
                                    });
                                    question.exec();
                                }});
        QVERIFY(ShowActive(&window));
        combo->setFocus(Qt::TabFocusReason);
        combo->showPopup();
        QTRY_VERIFY(combo->view()->isVisible());
        combo->hidePopup();
        QTRY_VERIFY(!combo->view()->isVisible());
        at = button->mapTo(&window, button->rect().center());
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
        QCOMPARE(QVariantList({seen.join(' '), button->isDown(), clicks}),
                 QVariantList({"got lost", false, 0}));
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at);
        QCOMPARE(clicks, 1);
    }
};

QTEST_MAIN(TestControlEvents)
#include "tst_controlevents.moc"
