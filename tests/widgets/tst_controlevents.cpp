// The one translation of key, double-click, focus and click events every window uses.
#include "Focus.h"
#include "widgets/ControlEvents.h"
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

namespace {
struct Stroke {
    int key;
    Qt::KeyboardModifiers mods;
    QString text; // as the desktop delivers it (X11 gives Delete "\x7f", Ctrl+A "\x01")
};

void Send(QWidget* w, const Stroke& s) {
    QKeyEvent press(QEvent::KeyPress, s.key, s.mods, s.text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, s.key, s.mods, s.text);
    QApplication::sendEvent(w, &release);
}

const Qt::KeyboardModifiers None = Qt::NoModifier, Ctrl = Qt::ControlModifier;
const Stroke Delete{Qt::Key_Delete, None, "\x7f"}, Backspace{Qt::Key_Backspace, None, "\b"},
    SelectAll{Qt::Key_A, Ctrl, "\x01"}, CtrlV{Qt::Key_V, Ctrl, "v"},
    WinAltGrBackslash{Qt::Key_Backslash, Ctrl | Qt::AltModifier, "\\"}, Five{Qt::Key_5, None, "5"},
    LowerA{Qt::Key_A, None, "a"};
} // namespace
Q_DECLARE_METATYPE(Stroke)

class TestControlEvents : public QObject {
    Q_OBJECT
private slots:
    // A box that takes digits only (as the timing boxes do) and one that forces upper case:
    // typed characters pass the filter whatever modifiers typed them; editing keys keep their
    // usual meaning. The cursor starts after "12" in "123".
    void filteredBox_data() {
        QTest::addColumn<bool>("digitsOnly");
        QTest::addColumn<Stroke>("stroke");
        QTest::addColumn<QString>("text"); // the box afterwards, '|' at the cursor, [] selected
        QTest::newRow("digit") << true << Five << "125|3";
        QTest::newRow("letter dropped") << true << LowerA << "12|3";
        QTest::newRow("Delete") << true << Delete << "12|";
        QTest::newRow("Backspace") << true << Backspace << "1|3";
        QTest::newRow("Ctrl+A") << true << SelectAll << "[123]|";
        QTest::newRow("upper: Ctrl+V with a letter as text") << false << CtrlV << "12|3";
        QTest::newRow("upper: a") << false << LowerA << "12A|3";
        QTest::newRow("AltGr \\ as Ctrl+Alt") << true << WinAltGrBackslash << "12|3";
    }
    void filteredBox() {
        QFETCH(bool, digitsOnly);
        QFETCH(Stroke, stroke);
        QLineEdit box("123");
        box.setCursorPosition(2);
        QList<int> seen;
        ctl::Attach(&box, {.keyPress = [&](int& k) {
            seen << k;
            if (digitsOnly && k != 8 && (k < '0' || k > '9')) k = 0;
            if (!digitsOnly && k >= 'a' && k <= 'z') k -= 'a' - 'A';
        }});
        Send(&box, stroke);
        QString shown = box.text();
        if (box.hasSelectedText())
            shown.insert(box.selectionEnd(), ']').insert(box.selectionStart(), '[');
        shown.insert(box.cursorPosition() + (box.hasSelectedText() ? 2 : 0), '|');
        QTEST(shown, "text");
        // The handler hears typed characters only, never an editing key.
        for (int k : seen)
            QVERIFY2(k >= 32 || k == 8, qPrintable(QString::number(k)));
    }

    // Enter reaches the handler but never the control; a double click is the handler's alone; a
    // label reports left clicks only.
    void enterAndClicks() {
        QLineEdit box("x");
        QLabel label("Label1");
        int enters = 0, doubles = 0, returnPressed = 0, clicks = 0;
        QObject::connect(&box, &QLineEdit::returnPressed, [&] { ++returnPressed; });
        ctl::Attach(
            &box, {.keyPress = [&](int& k) { enters += k == 13; }, .dblClick = [&] { ++doubles; }});
        ctl::Attach(&label, {.click = [&] { ++clicks; }});
        Send(&box, {Qt::Key_Return, None, "\r"});
        QTest::mouseDClick(&box, Qt::LeftButton);
        QTest::mouseClick(&label, Qt::RightButton);
        QTest::mouseClick(&label, Qt::LeftButton);
        QCOMPARE(QList<int>({enters, returnPressed, doubles, clicks}), QList<int>({1, 0, 1, 1}));
        QCOMPARE(box.text(), QString("x"));
    }

    // Tab and Shift+Tab move the focus (the box's lost-focus handling runs) and Escape cancels
    // the dialog, even from boxes whose filter drops every key; a box may name where Tab goes.
    void tabAndEscape() {
        QDialog dialog;
        auto* layout = new QVBoxLayout(&dialog);
        std::array<QLineEdit*, 3> box{};
        for (QLineEdit*& b : box)
            layout->addWidget(b = new QLineEdit(&dialog));
        QList<int> heard;
        int lost = 0;
        const auto dropAll = [&](int& k) {
            heard << k;
            k = 0;
        };
        ctl::Attach(box[0], {.keyPress = dropAll, .lostFocus = [&] { ++lost; }});
        ctl::Attach(box[1], {.keyPress = dropAll, .tabTo = [&] { return box[0]; }});
        ctl::Attach(box[2], {.keyPress = dropAll, .tabTo = [] { return nullptr; }});
        QVERIFY(ShowActive(&dialog));
        box[0]->setFocus();
        const QList<std::pair<Qt::Key, Qt::KeyboardModifiers>> strokes = {
            {Qt::Key_Tab, None},                  // 0 -> 1
            {Qt::Key_Tab, None},                  // 1 -> 0, as named
            {Qt::Key_Backtab, Qt::ShiftModifier}, // 0 -> 2, around the end
            {Qt::Key_Tab, None}};                 // 2 -> 0, the usual order
        QList<QLineEdit*> landed;
        for (const auto& [key, mods] : strokes) {
            QTest::keyClick(QApplication::focusWidget(), key, mods);
            landed << qobject_cast<QLineEdit*>(QApplication::focusWidget());
        }
        QCOMPARE(landed, QList<QLineEdit*>({box[1], box[0], box[2], box[0]}));
        QCOMPARE(lost, 2);
        QTest::keyClick(box[0], Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(heard, QList<int>());
    }

    // Opening a combo box's list does not make the box lose the focus, nor does closing it
    // make it gain it; leaving it for another control does.
    void comboListKeepsFocus() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* combo = new QComboBox(&window);
        auto* other = new QLineEdit(&window);
        layout->addWidget(combo);
        layout->addWidget(other);
        combo->setEditable(true);
        combo->addItems({"A", "B"});
        QStringList seen;
        ctl::Attach(combo,
                    {.gotFocus = [&] { seen << "got"; }, .lostFocus = [&] { seen << "lost"; }});
        QVERIFY(ShowActive(&window));
        other->setFocus(Qt::TabFocusReason);
        seen.clear();
        combo->setFocus(Qt::TabFocusReason);
        combo->showPopup();
        QTRY_VERIFY(combo->view()->isVisible());
        combo->hidePopup();
        QTRY_VERIFY(!combo->view()->isVisible());
        other->setFocus(Qt::TabFocusReason);
        QCOMPARE(seen, QStringList({"got", "lost"}));
    }

    // A box asked on leaving (its own event loop takes the release of the click that took the
    // focus away) drops that click whole: no button is left held down, the next click counts.
    void questionOnLeaving() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* box = new QLineEdit(&window);
        auto* button = new QPushButton("Clear", &window);
        layout->addWidget(box);
        layout->addWidget(button);
        int clicks = 0, asked = 0;
        QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
        QPoint at;
        ctl::Attach(box, {.lostFocus = [&] {
                        ++asked;
                        QMessageBox question(QMessageBox::Question, "Check File Name", "Add it ?",
                                             QMessageBox::Yes, &window);
                        QTimer::singleShot(10, &question, [&] {
                            QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, at);
                            question.accept();
                        });
                        question.exec();
                    }});
        QVERIFY(ShowActive(&window));
        box->setFocus(Qt::TabFocusReason);
        at = button->mapTo(&window, button->rect().center());
        QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
        QCOMPARE(QVariantList({asked, button->isDown(), clicks}), QVariantList({1, false, 0}));
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at);
        QCOMPARE(clicks, 1);
    }
};

QTEST_MAIN(TestControlEvents)
#include "tst_controlevents.moc"
