#pragma once
// Busmate, the manual bus terminal: pick an instrument, send it messages by hand, see the
// answers, keep lists of outgoing messages, move data between files and instruments.
#include "bus/Instrument.h"
#include "terminal/Busmate.h"
#include "terminal/Selection.h"
#include <QMainWindow>
#include <array>
#include <cstdint>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QEventLoop;
class QPushButton;
class QTimer;
namespace bus {
class Listeners;
}
namespace gpib {
class BusActivity;
class Driver;
} // namespace gpib
namespace Ui {
class ManualForm;
}

class ManualForm : public QMainWindow {
    Q_OBJECT

public:
    // The terminal talks through the main window's instrument on loan, searches the bus into
    // the main window's listener list, and keeps its selection in the main window's keeping.
    ManualForm(bus::Instrument::Loan& device, bus::Listeners& listeners, term::Selection& selection,
               QWidget* parent = nullptr);
    ~ManualForm() override;

    // Loads the window, shows it modally and returns when it has been closed.
    void ShowModal();

    void Form_Load();
    void Form_Activate();
    // False when the user cancels the closing.
    bool Form_QueryUnload();
    void Form_Unload();

    std::unique_ptr<Ui::ManualForm> ui;
    std::array<QPushButton*, 14> AddressButton{};
    // The check boxes of the stored options, in their stored order (the two menu items follow).
    std::array<QCheckBox*, 8> OptionBox{};
    QTimer* Timer1 = nullptr;

    // Window variables.
    std::int16_t TerminalUd = 0;
    QString DataFolder;
    QString StartupListFile;
    QString CurrentListFile;
    bool WindowInitialised = false;
    bool ListChanged = false;
    term::OptionValues OptionChanged{};
    bool ReceiveWarningShown = false;
    bool SendWarningShown = false;
    std::int16_t BlinkCount = 0;
    // The incoming box's whole text: received bytes as Latin-1 characters, lines ended by CR LF.
    QString Incoming;

    // Devices.
    void AddressButton_Click(int index);
    void AddressButton_DblClick(int index);
    void EnableSyntaxCheck_Click();
    void SelectDevice_Click();
    void bmID_Click();
    void bmIDN_Click();
    void IdAll_Click();
    void ReceivedMessages_KeyPress(int& keyAscii);
    QWidget* ReceivedMessages_TabTo(); // null: Tab keeps the window's order
    void Quit_Click();

    // Messages.
    void SendMessage_Click();
    void PrintMessageList(const QByteArray& msg);
    void ClearIncoming_Click();
    void SendMessageList_Change();
    void SendMessageList_Click();
    void SendMessageList_GotFocus();
    void SendMessageList_KeyPress(int& keyAscii);
    void SendMessageList_KeyUp(int key);
    void SendMessageList_LostFocus();
    void SendMessageList_Typed(const QString& text); // typing that adds characters: matching
    void OptionBox_Click(int index);                 // CR, LF, matching, multiple, next item
    void Caps_Click();
    void AutoClear_Click();
    void Help_Click();

    // Message lists.
    // Fills the outgoing list from a file; false when it could not be read (the user was told).
    bool LoadMessageList(const QString& msgFile);
    void SaveMessageListToFile(QString& msgFile);
    void SaveDefaultMessageList(bool& fileNotSaved);
    void SortMessageList_Click();
    void ClrMessageList_Click();
    void SaveMessageList_Click();
    void LoadStartupMessageList_Click();
    void RestoreMessageList_Click();
    void ImportAlternateMessageList_Click();
    void SaveAlternateMessageList_Click();
    void DeleteOutgoingMessageEntry_Click();

    // Syntax checking.
    // True when the device reported a syntax error.
    bool CheckSyntax(std::int16_t dev);
    void ShowSyntaxErrorMessage();
    void Timer1_Timer();

    // File transfers.
    void SendtoFileOnce_Click();
    void SendToFile_Click();
    void SendToDevice_Click();
    void DisplayFile_Click();
    // Starts a bus trace into a chosen file, or stops the one running.
    void BusTrace_Click();

    // The hourglass for the life of the object, so that every way out restores the pointer.
    struct WaitCursor {
        WaitCursor();
        ~WaitCursor();
        WaitCursor(const WaitCursor&) = delete;
        WaitCursor& operator=(const WaitCursor&) = delete;
    };

    // Helpers shared by the handler files.
    QStringList Entries() const;
    void SetEntries(const QStringList& entries);
    // The picked list entry: -1 when the outgoing text is typed rather than picked.
    int ListIndex() const;
    void SelectEntry(int index);
    void FocusOutgoing();
    void MarkListChanged();
    void SetIncoming(const QString& text);
    void EnableClearIncoming();
    term::OptionValues OptionValuesShown() const;
    // A file dialog opened in DataFolder; the chosen file's folder becomes DataFolder. Empty
    // when the dialog was cancelled.
    enum class Dialog { Open, Save };
    QString ChooseFile(Dialog kind, const QString& title, const QString& filter,
                       const QString& proposedName = {});

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    gpib::Driver& Bus() const;
    gpib::BusActivity& Activity() const;
    void ConnectHandlers();
    void UpdateIdAll();
    void PrepareSyntaxCheck(int method);
    void SyntaxCheckImpossible();
    void ApplySyntaxMethod(int method);
    // False when the user abandoned it (No to the warning, no file chosen).
    bool ReceiveToFile(const QByteArray& msg);
    void SetAddressColour(int index, bool checking);

    bus::Instrument::Loan& Device;
    bus::Listeners& ListenerList;
    term::Selection& Selection;
    QButtonGroup* AddressGroup = nullptr;
    QString LastTyped; // the outgoing text after the last typing, to tell additions
    QEventLoop* ModalLoop = nullptr;
};
