// The outgoing message list: loading and saving .gmg files and the Message Lists menu.
#include "common/Texts.h"
#include "platform/Platform.h"
#include "terminal/MessageList.h"
#include "terminal/ui/ManualForm.h"
#include "ui_ManualForm.h"
#include <QFile>
#include <QSaveFile>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {

const QString GmgFilter = QStringLiteral("GPIB Message Files (*.gmg)|*.gmg");
const QString KeepUnsaved = QStringLiteral(
    "Select Yes to continue without saving the current Outgoing List.\n"
    "If you want to save the current Outgoing Message List select No and then go to MessageLists "
    "Menu.\n\n");

bool Confirm(const QString& title, const QString& text) {
    return platform::MsgBox(title, text, Buttons::YesNo, Icon::Question, Answer::Yes) ==
           Answer::Yes;
}

// The whole file, written under a temporary name and renamed, so a failed write never
// leaves a list cut short.
bool WriteFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) return false;
    return file.commit();
}

void WriteError(const QString& path) {
    platform::MsgBox("File Write error",
                     "Can't write to the file " + path + ". It is probably write protected.",
                     Buttons::Ok, Icon::Warning);
}

} // namespace

bool ManualForm::LoadMessageList(const QString& msgFile) {
    QFile file(msgFile);
    bool opened = file.open(QIODevice::ReadOnly);
    // Only a start-up file that does not exist yet is made; anything else is reported, so that
    // an unreadable file never costs the user the start-up list.
    if (!opened && msgFile == StartupListFile && !QFile::exists(msgFile)) {
        bool notSaved = false;
        SaveDefaultMessageList(notSaved);
        if (!notSaved) opened = file.open(QIODevice::ReadOnly);
    }
    QByteArray bytes;
    if (opened) bytes = file.readAll();
    if (!opened || file.error() != QFileDevice::NoError) {
        platform::MsgBox("File Read error",
                         "Can't read the file " + msgFile + ".\n" + file.errorString(), Buttons::Ok,
                         Icon::Warning);
        return false;
    }
    SetEntries(QStringList{term::HelpEntry} + term::ParseMessageList(bytes));
    ui->SendMessageList->setEditText({});
    ui->OutGoingFile->setText(msgFile);
    ui->ClearHistory->setEnabled(false);
    ui->LoadStartupMessageList->setEnabled(false);
    ui->SendMessage->setEnabled(false);
    ui->DeleteOutgoingMessageEntry->setEnabled(false);
    return true;
}

void ManualForm::SaveMessageListToFile(QString& msgFile) {
    // The file holds one byte per character: a character beyond that would be saved as "?".
    if (const QString beyond = FirstBeyondLatin1(Entries().join(QString())); !beyond.isEmpty()) {
        platform::MsgBox("Invalid Character",
                         "The Outgoing Message List holds the character " + beyond +
                             ", which can't be written to the file " + msgFile + ".\n" + Latin1Only,
                         Buttons::Ok, Icon::Warning);
        msgFile.clear();
        return;
    }
    if (!WriteFile(msgFile, term::MessageListBytes(Entries()))) {
        WriteError(msgFile);
        msgFile.clear();
        return;
    }
    ui->OutGoingFile->setText(msgFile);
}

void ManualForm::SaveDefaultMessageList(bool& fileNotSaved) {
    if (!WriteFile(StartupListFile, term::MessageListBytes(term::DefaultMessages()))) {
        WriteError(StartupListFile);
        fileNotSaved = true;
    }
}

void ManualForm::SaveMessageList_Click() {
    if (Confirm("Save Outgoing Messages",
                "This will save the current Outgoing Message List to the file which is loaded at "
                "start up.\n\nDo wish to continue ?")) {
        QString file = StartupListFile;
        SaveMessageListToFile(file);
        if (!file.isEmpty()) {
            CurrentListFile = StartupListFile;
            ListChanged = false;
            ui->ClearHistory->setEnabled(false);
            ui->LoadStartupMessageList->setEnabled(false);
        }
    }
    FocusOutgoing();
}

void ManualForm::SaveAlternateMessageList_Click() {
    const QString path = ChooseFile(Dialog::Save, "Save Alternate Outgoing Message List", GmgFilter,
                                    CurrentListFile != StartupListFile
                                        ? CurrentListFile.mid(CurrentListFile.lastIndexOf(u'/') + 1)
                                        : QStringLiteral("Message"));
    if (!path.isEmpty()) {
        QString file = path;
        SaveMessageListToFile(file);
        if (!file.isEmpty()) {
            CurrentListFile = file;
            ListChanged = false;
        }
    }
    FocusOutgoing();
}

void ManualForm::ImportAlternateMessageList_Click() {
    if (ListChanged &&
        !Confirm("Load Alternate Outgoing Messages",
                 "This will load an alternate Outgoing Message List. The current Outgoing Message "
                 "List will be discarded.\n\nSelect Yes to continue without saving the current "
                 "Outgoing List.\nIf you want to save the List select No and then go to "
                 "MessageLists Menu.\n\nDo wish to continue ?")) {
        FocusOutgoing();
        return;
    }
    const QString path =
        ChooseFile(Dialog::Open, "Load Alternative Outgoing Message List", GmgFilter);
    if (!path.isEmpty()) {
        // A file that cannot be read leaves the list and its file name as they were.
        if (LoadMessageList(path)) {
            CurrentListFile = path;
            ListChanged = false;
            ui->ClearHistory->setEnabled(true);
            ui->LoadStartupMessageList->setEnabled(true);
        }
    }
    FocusOutgoing();
}

void ManualForm::LoadStartupMessageList_Click() {
    QString text = "This will reload the start up Outgoing Message List. The current Outgoing "
                   "Message List will be discarded.\n\n";
    if (ListChanged) text += KeepUnsaved;
    text += "Do wish to continue ?";
    if (Confirm("Reload Start Up Outgoing Messages", text) && LoadMessageList(StartupListFile)) {
        CurrentListFile = StartupListFile;
        ListChanged = false;
    }
    FocusOutgoing();
}

void ManualForm::RestoreMessageList_Click() {
    if (Confirm("Restore Outgoing Messages",
                "This will restore the Outgoing Message List with default values and save it to "
                "the start up file.\nThe current Outgoing Message List will be discarded.\n\n" +
                    KeepUnsaved + "Do wish to continue ?")) {
        bool notSaved = false;
        SaveDefaultMessageList(notSaved);
        if (!notSaved && LoadMessageList(StartupListFile)) {
            CurrentListFile = StartupListFile;
            ListChanged = false;
        }
    }
    FocusOutgoing();
}

void ManualForm::ClrMessageList_Click() {
    QString text = "This will clear ALL entries in the current Outgoing Message List.\n";
    if (!ui->SendMessageList->currentText().isEmpty())
        text += "Select the Clear Messages button [X] if you want to clear only the currently "
                "shown Outgoing Message.\n\n";
    else
        text += "\n";
    text += "Select Yes to continue without saving the current Outgoing List.\nIf you want to "
            "save the List select No and then go to MessageLists Menu.\n\nDo wish to continue ?";
    if (Confirm("Clear Outgoing Messages", text)) {
        SetEntries({term::HelpEntry});
        ui->SendMessageList->setEditText({});
        MarkListChanged();
        ui->DeleteOutgoingMessageEntry->setEnabled(false);
    }
    FocusOutgoing();
}

void ManualForm::SortMessageList_Click() {
    if (Confirm("Sort Outgoing Messages",
                "This will sort the entries in the current Outgoing Message List. \nIt can't be "
                "undone but nothing will be saved.\n\nDo wish to continue ?")) {
        SetEntries(term::SortedEntries(Entries()));
        ui->SendMessageList->setEditText({});
        MarkListChanged();
    }
    FocusOutgoing();
}

void ManualForm::DeleteOutgoingMessageEntry_Click() {
    QComboBox* box = ui->SendMessageList;
    const int k = ListIndex();
    if (k < 1) {
        box->setEditText({});
        FocusOutgoing();
        return;
    }
    if (platform::MsgBox("Delete Entry",
                         "Do you really want to delete the selected entry in Outgoing Message "
                         "List ?",
                         Buttons::YesNo, Icon::None, Answer::Yes) == Answer::Yes) {
        box->removeItem(k);
        MarkListChanged();
        SelectEntry(term::SelectionAfterDelete(k, box->count()));
        if (box->count() <= 1) ui->DeleteOutgoingMessageEntry->setEnabled(false);
    }
    FocusOutgoing();
}
