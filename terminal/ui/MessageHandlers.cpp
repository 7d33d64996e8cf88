// Sending messages, showing answers, the outgoing box's events and the message options.
#include "bus/BusActivity.h"
#include "common/Texts.h"
#include "platform/Platform.h"
#include "terminal/MessageList.h"
#include "terminal/ui/ManualForm.h"
#include "ui_ManualForm.h"
#include "widgets/BusErrorBoxes.h"
#include <QApplication>
#include <QLineEdit>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

void ManualForm::SendMessage_Click() {
    QComboBox* box = ui->SendMessageList;
    const QString outgoing = box->currentText();
    if (term::TrimBlanks(outgoing).isEmpty()) {
        FocusOutgoing();
        return;
    }
    if (outgoing == term::HelpEntry && !ui->Help->isEnabled()) {
        box->setEditText({});
        FocusOutgoing();
        return;
    }
    // A character the bus cannot carry would go out as "?", which makes a command a query.
    if (const QString beyond = FirstBeyondLatin1(outgoing); !beyond.isEmpty()) {
        platform::MsgBox("Invalid Character",
                         "The Outgoing Message holds the character " + beyond +
                             ", which can't be sent on the bus.\n" + Latin1Only,
                         Buttons::Ok, Icon::Warning);
        FocusOutgoing();
        return;
    }
    const gpib::Transaction transaction(
        Activity()); // to the end: the message is recorded after the answer
    ui->ReceivedCharacters->clear();
    ui->SyntaxErrorMessage->hide();
    const int method = Selection.SyntaxMethod[Selection.SelectedButton];
    if (method != 0) PrepareSyntaxCheck(method);

    const term::OutgoingMessage message = term::PrepareMessage(outgoing.toLatin1());
    bool abandoned = false; // the user stopped a transfer: the send ends without a trace
    const bool addCr = ui->bmAddCR->isChecked();
    const bool addLf = ui->bmAddLF->isChecked();
    if (!message.query) {
        if (outgoing == term::HelpEntry) {
            QString help = term::HelpText(StartupListFile);
            if (Incoming.isEmpty() || !Incoming.startsWith(u'\r')) help += QStringLiteral("\r\n");
            SetIncoming(help + Incoming);
            box->setEditText({});
            ui->DeleteOutgoingMessageEntry->setEnabled(false);
            EnableClearIncoming();
            ui->Help->setEnabled(false);
        } else {
            ctl::ShowBusError(Device.write(term::WithLineEnds(message.msg, addCr, addLf)));
            if (method != 0) CheckSyntax(TerminalUd);
        }
    } else if (ui->SendToFile->isChecked() || ui->SendtoFileOnce->isChecked()) {
        abandoned = !ReceiveToFile(message.msg);
    } else {
        if (ui->AutoClear->isChecked() && ui->AutoClear->isEnabled()) {
            SetIncoming({});
            ui->Help->setEnabled(true);
        }
        bool failed = false; // the write, or the syntax check after it: nothing to read
        if (!message.msg.isEmpty()) {
            failed =
                !ctl::ShowBusError(Device.write(term::WithLineEnds(message.msg, addCr, addLf)));
            if (method != 0 && CheckSyntax(TerminalUd)) failed = true;
        }
        if (!failed) {
            QByteArray answer;
            {
                ManualForm::WaitCursor wait;
                QCoreApplication::processEvents();
                answer = ctl::AnswerOf(Device.read());
            }
            PrintMessageList(answer);
        }
    }

    // Recording a typed message in the list.
    const QString sent = box->currentText();
    if (!abandoned && !sent.isEmpty() && ListIndex() == -1) {
        const int equal =
            ui->AllowMultipleCommands->isChecked() ? -1 : term::FindEqual(Entries(), sent);
        if (equal >= 0) {
            SelectEntry(equal);
        } else {
            box->addItem(sent);
            MarkListChanged();
            SelectEntry(box->count() - 1);
        }
    }
    if (ListIndex() >= 1) {
        ui->DeleteOutgoingMessageEntry->setEnabled(true);
        if (ui->SendtoFileOnce->isChecked() && !abandoned) SendtoFileOnce_Click();
    } else {
        ui->DeleteOutgoingMessageEntry->setEnabled(false);
    }
    if (ui->bmSelectNextListItem->isChecked() && ListIndex() >= 0 && ListIndex() < box->count() - 1)
        SelectEntry(ListIndex() + 1);
    FocusOutgoing();
}

void ManualForm::PrintMessageList(const QByteArray& msg) {
    const QString text = QString::fromLatin1(msg);
    const QString title = QStringLiteral("Too large string - 30k list limit exceeded");
    switch (term::CheckFit(text.size(), Incoming.size())) {
    case term::Fit::TooLarge:
        platform::MsgBox(title,
                         "This this Incoming Message is too large to capture.\nTry saving it to a "
                         "file instead.\n\nYou will have to resend the query !",
                         Buttons::Ok, Icon::Critical);
        return;
    case term::Fit::ClearFirst:
        if (platform::MsgBox(title,
                             "To capture this Incoming Message the previous must be cleared.\n\nIf "
                             "you select cancel you will have to resend the query !",
                             Buttons::OkCancel, Icon::Warning) == Answer::Cancel)
            return;
        SetIncoming({});
        ui->Help->setEnabled(true); // the help text went with the rest
        break;
    case term::Fit::Fits:
        break;
    }
    ManualForm::WaitCursor wait;
    QCoreApplication::processEvents();
    SetIncoming(term::IncomingLines(Device.address(), text) + Incoming);
    ui->ReceivedCharacters->setText(term::CountCaption(text.size()));
    if (!ui->ClearIncoming->isEnabled()) EnableClearIncoming();
}

void ManualForm::ClearIncoming_Click() {
    SetIncoming({});
    if (ListIndex() == 0) ui->SendMessageList->setEditText({});
    ui->SyntaxErrorMessage->hide();
    ui->ReceivedCharacters->clear();
    ui->ClearIncoming->setEnabled(false);
    ui->ClrIncoming->setEnabled(false);
    ui->Help->setEnabled(true);
    FocusOutgoing();
}

void ManualForm::SendMessageList_Change() {
    const bool any = !ui->SendMessageList->currentText().isEmpty();
    ui->SendMessage->setEnabled(any);
    ui->DeleteOutgoingMessageEntry->setEnabled(any);
}

void ManualForm::SendMessageList_Click() {
    ui->SendMessageList->lineEdit()->end(false);
    SendMessageList_Change();
    LastTyped = ui->SendMessageList->currentText();
}

void ManualForm::SendMessageList_GotFocus() {
    ui->SendMessageList->lineEdit()->end(false);
}

void ManualForm::SendMessageList_KeyPress(int& keyAscii) {
    if (keyAscii > 0xFF) {
        keyAscii = 0; // bus texts are bytes: a character without one cannot be sent
        return;
    }
    if (ui->Caps->isChecked() && keyAscii >= 32) {
        const QString upper = QString(QChar(char16_t(keyAscii))).toUpper();
        if (upper.size() == 1 && upper.at(0).unicode() <= 0xFF) keyAscii = upper.at(0).unicode();
    }
    if (keyAscii == 13 && ui->SendMessage->isEnabled()) SendMessage_Click();
}

void ManualForm::SendMessageList_KeyUp(int key) {
    // The down arrow does not stop on the help entry.
    if (key != Qt::Key_Down || ui->SendMessageList->currentText() != term::HelpEntry) return;
    if (ui->SendMessageList->count() == 1)
        ui->SendMessageList->setEditText({});
    else
        SelectEntry(1);
}

// The focus is lost in the middle of delivering the event that took it (a mouse press): the
// event loop must not run here, or a release already waiting is delivered before its press
// and the click is lost. Pending events run as soon as this returns.
void ManualForm::SendMessageList_LostFocus() {
    QComboBox* box = ui->SendMessageList;
    const QString trimmed = term::TrimBlanks(box->currentText());
    if (trimmed != box->currentText()) box->setEditText(trimmed);
}

void ManualForm::SendMessageList_Typed(const QString& text) {
    // Only typing that adds characters completes; deleting must not bring the rest back.
    const bool added = text.size() > LastTyped.size();
    LastTyped = text;
    if (!added || !ui->CheckListForMatch->isChecked() || text.isEmpty()) return;
    const int found = term::FindPrefix(Entries(), text);
    if (found < 0) return;
    const QString entry = ui->SendMessageList->itemText(found);
    SelectEntry(found);
    ui->SendMessageList->lineEdit()->setSelection(int(text.size()),
                                                  int(entry.size() - text.size()));
}

void ManualForm::OptionBox_Click(int index) {
    if (WindowInitialised) OptionChanged[index] = true;
    FocusOutgoing();
}

void ManualForm::Caps_Click() {
    if (WindowInitialised) {
        const bool upper = ui->Caps->isChecked();
        const QString text = QStringLiteral("Do you want to change the current Outgoing Message "
                                            "List to %1 case ?")
                                 .arg(upper ? "upper" : "lower");
        if (platform::MsgBox("CAPS", text, Buttons::YesNo, Icon::Question, Answer::Yes) ==
            Answer::Yes) {
            QStringList entries = Entries();
            for (int i = 1; i < entries.size(); ++i)
                entries[i] = upper ? entries[i].toUpper() : entries[i].toLower();
            SetEntries(entries);
            MarkListChanged();
        }
        OptionChanged[3] = true;
    }
    FocusOutgoing();
}

void ManualForm::AutoClear_Click() {
    OptionChanged[8] = true;
    FocusOutgoing();
}

void ManualForm::Help_Click() {
    SelectEntry(0);
    SendMessage_Click();
}
