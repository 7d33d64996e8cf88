#include "widgets/ControlEvents.h"
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace ctl {

int KeyAsciiOf(const QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
        return 0;
    default:
        break;
    }
    // Ctrl shortcuts (select all, copy, paste, cut, undo) and Delete ("\x7f" on X11) carry
    // control characters; they keep their editing meaning. Alt and AltGr only change which
    // character is typed, so what they type goes through the filter like any other.
    const QString text = event->text();
    if (text.size() != 1) return 0;
    const char16_t c = text.at(0).unicode();
    if (c < 32 || c == 127) return 0;
    if (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier) &&
        !(event->modifiers() & Qt::AltModifier))
        return 0;
    return c;
}

namespace {

void InsertText(QWidget* control, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(control))
        line->insert(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(control))
        plain->insertPlainText(text);
    else if (auto* rich = qobject_cast<QTextEdit*>(control))
        rich->insertPlainText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->lineEdit())
        combo->lineEdit()->insert(text);
}

// Drops the mouse press now on its way, if any; gone once the events pending now are handled.
class PressDropper : public QObject {
public:
    PressDropper() {
        qApp->installEventFilter(this);
        QMetaObject::invokeMethod(this, &QObject::deleteLater, Qt::QueuedConnection);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress) return false;
        qApp->removeEventFilter(this);
        return true;
    }
};

class Translator : public QObject {
public:
    Translator(QWidget* control, Handlers handlers)
        : QObject(control), control_(control), h_(std::move(handlers)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* press = static_cast<QKeyEvent*>(event);
            if (h_.tabTo && press->key() == Qt::Key_Tab &&
                !(press->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
                if (QWidget* target = h_.tabTo()) {
                    target->setFocus(Qt::TabFocusReason);
                    return true;
                }
            if (!h_.keyPress) return false;
            const int original = KeyAsciiOf(press);
            if (original == 0) return false;
            int key = original;
            h_.keyPress(key);
            if (key == 0 || original == 13) return true;
            if (key != original) {
                InsertText(control_, QString(QChar(key)));
                return true;
            }
            // Alt+letter would be dropped by some controls' own handling; type it here so
            // the filtered character is the one that arrives.
            if (original >= 32 && press->modifiers() & Qt::AltModifier) {
                InsertText(control_, QString(QChar(key)));
                return true;
            }
            return false;
        }
        case QEvent::KeyRelease: {
            if (h_.keyUp) h_.keyUp(static_cast<QKeyEvent*>(event)->key());
            return false;
        }
        case QEvent::MouseButtonDblClick:
            if (!h_.dblClick) return false;
            h_.dblClick();
            return true;
        case QEvent::MouseButtonRelease:
            // The click is the handler's alone: it does not reach the window behind a label.
            if (!h_.click || static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
                return false;
            h_.click();
            return true;
        case QEvent::FocusIn:
        case QEvent::FocusOut: {
            // Focus that only follows a window change (a box appearing, another program) is
            // not the user entering or leaving the control.
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
                return false;
            // Nor is opening a list or menu from it: the focus comes back when it closes.
            if (event->type() == QEvent::FocusOut && QApplication::activePopupWidget())
                return false;
            if (event->type() == QEvent::FocusIn && h_.gotFocus) h_.gotFocus();
            if (event->type() == QEvent::FocusOut && h_.lostFocus) {
                const bool pressing = reason == Qt::MouseFocusReason &&
                                      QGuiApplication::mouseButtons() != Qt::NoButton;
                h_.lostFocus();
                // A question asked on leaving runs an event loop of its own, which takes the
                // release of the click that took the focus away. Its press, still on its way,
                // is dropped too: the click is lost whole rather than leaving a button held.
                if (pressing && QGuiApplication::mouseButtons() == Qt::NoButton) new PressDropper;
            }
            return false;
        }
        default:
            return false;
        }
    }

private:
    QWidget* control_;
    Handlers h_;
};

} // namespace

void Attach(QWidget* control, Handlers handlers) {
    auto* translator = new Translator(control, std::move(handlers));
    control->installEventFilter(translator);
    // Editable combo boxes type into their line edit, which gets the key events first.
    if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->lineEdit())
        combo->lineEdit()->installEventFilter(translator);
}

void PreferMenuAccessKeys(QMenuBar* menuBar, QWidget* window) {
    for (const QAction* menu : menuBar->actions()) {
        const QKeySequence key = QKeySequence::mnemonic(menu->text());
        if (key.isEmpty()) continue;
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
            if (button->shortcut() == key) button->setShortcut(QKeySequence());
    }
}

} // namespace ctl
