#include "terminal/ui/ManualForm.h"
#include "bus/GpibDriver.h"
#include "bus/Listeners.h"
#include "bus/Session.h"
#include "platform/Platform.h"
#include "settings/SaveFailure.h"
#include "terminal/MessageList.h"
#include "terminal/ui/SyntaxCheckForm.h"
#include "ui_ManualForm.h"
#include "widgets/BusErrorBoxes.h"
#include "widgets/BusGate.h"
#include "widgets/ControlEvents.h"
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLineEdit>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <optional>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {

// The incoming box's font: Courier New where it is installed, else the desktop's fixed font.
QFont IncomingFont() {
    if (QFontDatabase::families().contains(QStringLiteral("Courier New")))
        return QFont(QStringLiteral("Courier New"), 9);
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

// Where the start-up list lives: the working folder, unless it cannot be written (a desktop
// launcher often starts programs in "/"), then the per-user data folder.
QString ListFolder() {
    const QString working = QDir::currentPath();
    if (QFileInfo(working).isWritable()) return working;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!data.isEmpty() && QDir().mkpath(data)) return data;
    return working;
}

} // namespace

ManualForm::ManualForm(bus::Instrument::Loan& device, bus::Listeners& listeners,
                       term::Selection& selection, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::ManualForm), Device(device), ListenerList(listeners),
      Selection(selection) {
    ui->setupUi(this);
    AddressButton = {ui->AddressButton_0,  ui->AddressButton_1,  ui->AddressButton_2,
                     ui->AddressButton_3,  ui->AddressButton_4,  ui->AddressButton_5,
                     ui->AddressButton_6,  ui->AddressButton_7,  ui->AddressButton_8,
                     ui->AddressButton_9,  ui->AddressButton_10, ui->AddressButton_11,
                     ui->AddressButton_12, ui->AddressButton_13};
    OptionBox = {
        ui->bmID,    ui->bmIDN,   ui->CheckListForMatch,   ui->Caps, ui->AllowMultipleCommands,
        ui->bmAddCR, ui->bmAddLF, ui->bmSelectNextListItem};
    AddressGroup = new QButtonGroup(this);
    AddressGroup->setExclusive(true);
    // Square buttons wide enough for a bold two-digit address at the desktop's font.
    QFont bold = AddressButton[0]->font();
    bold.setBold(true);
    const int side = std::max(AddressButton[0]->sizeHint().height(),
                              QFontMetrics(bold).horizontalAdvance(QStringLiteral("30")) +
                                  QFontMetrics(bold).height());
    for (int i = 0; i < int(AddressButton.size()); ++i) {
        AddressGroup->addButton(AddressButton[i], i);
        AddressButton[i]->setFixedSize(side, side);
    }
    ui->ReceivedMessages->setFont(IncomingFont());
    ui->ReceivedCharacters->setMinimumWidth(
        ui->ReceivedCharacters->fontMetrics().horizontalAdvance(QStringLiteral(" 0000000 ")) + 8);
    ui->SyntaxErrorMessage->hide();
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(200);
    ui->SendMessageList->setCompleter(nullptr); // matching is the window's own, and optional
    ConnectHandlers();
}

ManualForm::~ManualForm() = default;

gpib::Driver& ManualForm::Bus() const {
    return Device.session().driver();
}

gpib::BusActivity& ManualForm::Activity() const {
    return Device.session().activity();
}

void ManualForm::ConnectHandlers() {
    for (int i = 0; i < int(AddressButton.size()); ++i) {
        connect(AddressButton[i], &QPushButton::clicked, this,
                [this, i] { AddressButton_Click(i); });
        ctl::Handlers buttonEvents;
        buttonEvents.dblClick = [this, i] { AddressButton_DblClick(i); };
        ctl::Attach(AddressButton[i], buttonEvents);
    }
    connect(ui->EnableSyntaxCheck, &QAction::triggered, this, &ManualForm::EnableSyntaxCheck_Click);
    connect(ui->SelectDevice, &QAction::triggered, this, &ManualForm::SelectDevice_Click);
    connect(ui->bmID, &QCheckBox::clicked, this, &ManualForm::bmID_Click);
    connect(ui->bmIDN, &QCheckBox::clicked, this, &ManualForm::bmIDN_Click);
    connect(ui->IdAll, &QPushButton::clicked, this, &ManualForm::IdAll_Click);
    ctl::Handlers incomingEvents;
    incomingEvents.keyPress = [this](int& key) { ReceivedMessages_KeyPress(key); };
    incomingEvents.tabTo = [this] { return ReceivedMessages_TabTo(); };
    ctl::Attach(ui->ReceivedMessages, incomingEvents);
    connect(ui->Quit, &QAction::triggered, this, &ManualForm::Quit_Click);

    // Messages
    connect(ui->SendMessage, &QPushButton::clicked, this, &ManualForm::SendMessage_Click);
    connect(ui->ClearIncoming, &QPushButton::clicked, this, &ManualForm::ClearIncoming_Click);
    connect(ui->ClrIncoming, &QAction::triggered, this, &ManualForm::ClearIncoming_Click);
    connect(ui->SendMessageList, &QComboBox::editTextChanged, this,
            &ManualForm::SendMessageList_Change);
    connect(ui->SendMessageList, &QComboBox::activated, this, &ManualForm::SendMessageList_Click);
    connect(ui->SendMessageList->lineEdit(), &QLineEdit::textEdited, this,
            &ManualForm::SendMessageList_Typed);
    ctl::Handlers outgoingEvents;
    outgoingEvents.keyPress = [this](int& key) { SendMessageList_KeyPress(key); };
    outgoingEvents.keyUp = [this](int key) { SendMessageList_KeyUp(key); };
    outgoingEvents.gotFocus = [this] { SendMessageList_GotFocus(); };
    outgoingEvents.lostFocus = [this] { SendMessageList_LostFocus(); };
    ctl::Attach(ui->SendMessageList, outgoingEvents);
    for (int i : {2, 4, 5, 6, 7})
        connect(OptionBox[i], &QCheckBox::clicked, this, [this, i] { OptionBox_Click(i); });
    connect(ui->Caps, &QCheckBox::clicked, this, &ManualForm::Caps_Click);
    connect(ui->AutoClear, &QAction::triggered, this, &ManualForm::AutoClear_Click);
    connect(ui->Help, &QAction::triggered, this, &ManualForm::Help_Click);

    // Message lists
    connect(ui->SortMessageList, &QAction::triggered, this, &ManualForm::SortMessageList_Click);
    connect(ui->ClrMessageList, &QAction::triggered, this, &ManualForm::ClrMessageList_Click);
    connect(ui->SaveMessageList, &QAction::triggered, this, &ManualForm::SaveMessageList_Click);
    connect(ui->LoadStartupMessageList, &QAction::triggered, this,
            &ManualForm::LoadStartupMessageList_Click);
    connect(ui->ClearHistory, &QPushButton::clicked, this,
            &ManualForm::LoadStartupMessageList_Click);
    connect(ui->RestoreMessageList, &QAction::triggered, this,
            &ManualForm::RestoreMessageList_Click);
    connect(ui->ImportAlternateMessageList, &QAction::triggered, this,
            &ManualForm::ImportAlternateMessageList_Click);
    connect(ui->SaveAlternateMessageList, &QAction::triggered, this,
            &ManualForm::SaveAlternateMessageList_Click);
    connect(ui->DeleteOutgoingMessageEntry, &QPushButton::clicked, this,
            &ManualForm::DeleteOutgoingMessageEntry_Click);

    // Syntax checking and file transfers
    connect(Timer1, &QTimer::timeout, this, &ManualForm::Timer1_Timer);
    // The two receive modes keep their marks themselves: undo the automatic toggle first.
    for (QAction* mode : {ui->SendtoFileOnce, ui->SendToFile})
        connect(mode, &QAction::triggered, this, [this, mode](bool checked) {
            mode->setChecked(!checked);
            mode == ui->SendToFile ? SendToFile_Click() : SendtoFileOnce_Click();
        });
    connect(ui->SendToDevice, &QAction::triggered, this, &ManualForm::SendToDevice_Click);
    connect(ui->DisplayFile, &QAction::triggered, this, &ManualForm::DisplayFile_Click);
    // Not refused during a call: a trace may start while a long transfer is under way.
    connect(ui->BusTrace, &QAction::triggered, this, &ManualForm::BusTrace_Click);

    // While a send, a sweep or a transfer is under way nothing may select another device,
    // start other traffic or change the message being sent; closing waits for it.
    ctl::RefuseDuringBus(Activity(), this, {ui->Frame1, ui->Frame2},
                         {ui->EnableSyntaxCheck, ui->SendToDevice, ui->SendtoFileOnce,
                          ui->SendToFile, ui->Help, ui->History->menuAction()});
}

void ManualForm::ShowModal() {
    Form_Load();
    setWindowModality(Qt::ApplicationModal);
    // Over the middle of the main window, and wholly on its screen.
    adjustSize();
    if (parentWidget()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(parentWidget()->frameGeometry().center());
        if (const QScreen* screen = parentWidget()->screen()) {
            const QRect room = screen->availableGeometry();
            frame.moveLeft(std::clamp(frame.left(), room.left(),
                                      std::max(room.left(), room.right() - frame.width())));
            frame.moveTop(std::clamp(frame.top(), room.top(),
                                     std::max(room.top(), room.bottom() - frame.height() - 30)));
        }
        move(frame.topLeft());
    }
    show();
    Form_Activate();
    QEventLoop loop;
    ModalLoop = &loop;
    loop.exec();
    ModalLoop = nullptr;
}

void ManualForm::Form_Load() {
    const gpib::Transaction transaction(Activity());
    gpib::Driver& bus = Bus();
    bus.SendIFC(0);
    bus.ibsre(0, 1);
    ctl::ShowBusError(ListenerList.find(bus));
    ctl::ShowBusError(Device.open(ListenerList));
    TerminalUd = Device.ud();
    setWindowTitle(term::WindowCaption);
    ui->BusTrace->setChecked(Device.session().trace().active());

    DataFolder = ListFolder();
    StartupListFile = term::StartupListPath(DataFolder);
    LoadMessageList(StartupListFile);
    CurrentListFile = StartupListFile;

    const int count = ListenerList.count();
    for (int i = 1; i <= count; ++i) {
        AddressButton[i - 1]->setText(QString::number(ListenerList.at(i)));
        AddressButton[i - 1]->setEnabled(true);
    }
    if (count == 1) {
        Selection.SelectedButton = 1;
        Device.setAddress(ListenerList.at(1));
        // The one device shows as selected, as a click would show it.
        AddressButton[0]->setChecked(true);
        QFont font = AddressButton[0]->font();
        font.setBold(true);
        AddressButton[0]->setFont(font);
        ui->SendMessageList->setEnabled(true);
        ui->EnableSyntaxCheck->setEnabled(true);
        ui->SendToDevice->setEnabled(true);
    } else {
        ui->History->menuAction()->setEnabled(false);
    }
}

void ManualForm::Form_Activate() {
    if (WindowInitialised) return;
    if (ListenerList.count() == 1) {
        ui->SendMessageList->setFocus();
    } else {
        AddressGroup->setExclusive(false);
        for (QPushButton* button : AddressButton)
            button->setChecked(false);
        AddressGroup->setExclusive(true);
        ui->DeleteOutgoingMessageEntry->setEnabled(false);
        ui->ReceivedMessages->setFocus();
    }
    const term::OptionValues values = term::ReadOptions();
    for (int i = 0; i < int(OptionBox.size()); ++i)
        OptionBox[i]->setChecked(values[i]);
    UpdateIdAll();
    ui->AutoClear->setChecked(values[8]);
    if (values[9]) {
        ui->SendToFile->setChecked(true);
        ui->AutoClear->setEnabled(false);
    }
    WindowInitialised = true;
}

bool ManualForm::Form_QueryUnload() {
    if (!ListChanged) return true;
    const Answer answer =
        platform::MsgBox("Exit", term::ExitQuestion(StartupListFile, CurrentListFile),
                         Buttons::YesNoCancel, Icon::Question, Answer::Yes);
    if (answer == Answer::Cancel) return false;
    if (answer == Answer::Yes) {
        QString file = CurrentListFile;
        SaveMessageListToFile(file);
    }
    return true;
}

void ManualForm::Form_Unload() {
    Timer1->stop();
    const QString failure = term::WriteOptions(OptionValuesShown(), OptionChanged);
    if (!failure.isEmpty()) ReportSaveFailure(QStringLiteral("The Busmate options"), failure);
}

void ManualForm::closeEvent(QCloseEvent* event) {
    if (ctl::CloseWaitsForBus(this, event)) return; // Id All stops before its next device
    if (!Form_QueryUnload()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
    if (ModalLoop) ModalLoop->quit();
}

void ManualForm::Quit_Click() {
    close();
}

term::OptionValues ManualForm::OptionValuesShown() const {
    term::OptionValues values{};
    for (int i = 0; i < int(OptionBox.size()); ++i)
        values[i] = OptionBox[i]->isChecked();
    values[8] = ui->AutoClear->isChecked();
    values[9] = ui->SendToFile->isChecked();
    return values;
}

// ---- Devices

void ManualForm::AddressButton_Click(int index) {
    Selection.SelectedButton = std::int16_t(index + 1);
    Device.setAddress(ListenerList.at(index + 1));
    ui->EnableSyntaxCheck->setEnabled(true);
    ui->SendToDevice->setEnabled(true);
    AddressButton[index]->setChecked(true);
    for (int i = 0; i < ListenerList.count(); ++i) {
        QFont font = AddressButton[i]->font();
        font.setBold(i == index);
        AddressButton[i]->setFont(font);
    }
    if (!ui->SendMessageList->isEnabled()) {
        ui->History->menuAction()->setEnabled(true);
        ui->SendMessageList->setEnabled(true);
    }
    ui->SendMessageList->setFocus();
}

void ManualForm::AddressButton_DblClick(int index) {
    Q_UNUSED(index); // the first click of the double click selected the button
    EnableSyntaxCheck_Click();
}

void ManualForm::EnableSyntaxCheck_Click() {
    if (Selection.SelectedButton < 1) return; // nothing to check before a device is chosen
    SyntaxCheckForm dialog(Activity(), this);
    dialog.Form_Load(Device.address(), Selection.SyntaxMethod[Selection.SelectedButton]);
    dialog.move(pos() + QPoint(dialog.TwipsToPixels(60), dialog.TwipsToPixels(1560)));
    if (dialog.exec() == QDialog::Accepted && dialog.Method) ApplySyntaxMethod(*dialog.Method);
    FocusOutgoing();
}

void ManualForm::SelectDevice_Click() {
    platform::MsgBox("Select Device", "Select a device with the buttons under Device Address.",
                     Buttons::Ok, Icon::None);
    FocusOutgoing();
}

void ManualForm::UpdateIdAll() {
    ui->IdAll->setEnabled(ui->bmID->isChecked() || ui->bmIDN->isChecked());
}

void ManualForm::bmID_Click() {
    UpdateIdAll();
    if (WindowInitialised) OptionChanged[0] = true;
    FocusOutgoing();
}

void ManualForm::bmIDN_Click() {
    UpdateIdAll();
    if (WindowInitialised) OptionChanged[1] = true;
    FocusOutgoing();
}

// While nothing can be sent, Enter and Tab both lead to the first address button.
void ManualForm::ReceivedMessages_KeyPress(int& keyAscii) {
    if (keyAscii == 13 && !ui->SendMessage->isEnabled()) {
        AddressButton[0]->setFocus(Qt::TabFocusReason);
        keyAscii = 0;
    }
}

QWidget* ManualForm::ReceivedMessages_TabTo() {
    return ui->SendMessage->isEnabled() ? nullptr : AddressButton[0];
}

void ManualForm::IdAll_Click() {
    const gpib::Transaction transaction(Activity());
    const gpib::BusActivity& activity = Activity();
    if (ui->AutoClear->isChecked() && ui->AutoClear->isEnabled()) {
        SetIncoming({});
        ui->Help->setEnabled(true);
    }
    const std::int16_t remembered = Device.address();
    std::optional<WaitCursor> wait(std::in_place);
    gpib::Driver& bus = Bus();
    const bool both = ui->bmID->isChecked() && ui->bmIDN->isChecked();
    for (int i = ListenerList.count(); i >= 1 && !activity.endRequested(); --i) {
        Device.setAddress(ListenerList.at(i));
        bus.ibtmo(TerminalUd, 10);
        QByteArray answer;
        bool received = false;
        for (int attempt = 0; attempt < (both ? 2 : 1) && !received; ++attempt) {
            const QByteArray query =
                (both ? attempt == 0 : ui->bmID->isChecked()) ? "ID?" : "*IDN?";
            ctl::ShowBusError(Device.write(
                term::WithLineEnds(query, ui->bmAddCR->isChecked(), ui->bmAddLF->isChecked())));
            bus.ibwait(TerminalUd, gpib::TIMO | gpib::CMPL);
            QByteArray buffer(512, ' ');
            const int sta = bus.ibrd(TerminalUd, buffer.data(), buffer.size());
            // A failed read is no answer either, whether it timed out or not.
            if (!(sta & (gpib::TIMO | gpib::ERR))) {
                received = true;
                answer = buffer.left(std::clamp<long>(bus.ibcntl(), 0, buffer.size()));
            }
        }
        PrintMessageList(received ? term::IdAnswer(answer) : QByteArray("No response"));
        bus.ibtmo(TerminalUd, Device.timeout());
    }
    Device.setAddress(remembered);
    wait.reset();
    ui->ReceivedCharacters->clear();
    FocusOutgoing();
}

// ---- Helpers

ManualForm::WaitCursor::WaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

ManualForm::WaitCursor::~WaitCursor() {
    QApplication::restoreOverrideCursor();
}

QStringList ManualForm::Entries() const {
    QStringList entries;
    for (int i = 0; i < ui->SendMessageList->count(); ++i)
        entries << ui->SendMessageList->itemText(i);
    return entries;
}

void ManualForm::SetEntries(const QStringList& entries) {
    const QString text = ui->SendMessageList->currentText();
    ui->SendMessageList->clear();
    ui->SendMessageList->addItems(entries);
    ui->SendMessageList->setCurrentIndex(-1);
    ui->SendMessageList->setEditText(text);
}

int ManualForm::ListIndex() const {
    const int index = ui->SendMessageList->currentIndex();
    if (index < 0 || ui->SendMessageList->itemText(index) != ui->SendMessageList->currentText())
        return -1;
    return index;
}

void ManualForm::SelectEntry(int index) {
    ui->SendMessageList->setCurrentIndex(index);
    ui->SendMessageList->setEditText(ui->SendMessageList->itemText(index));
}

QString ManualForm::ChooseFile(Dialog kind, const QString& title, const QString& filter,
                               const QString& proposedName) {
    platform::FileDialogRequest request;
    request.title = title;
    request.folder = DataFolder;
    request.proposedName = proposedName;
    request.filter = filter;
    request.defaultExtension = filter.section(QStringLiteral("*."), 1, 1).section(u'|', 0, 0);
    const platform::FileDialogResult chosen = kind == Dialog::Save
                                                  ? platform::Sys().saveFileDialog(request)
                                                  : platform::Sys().openFileDialog(request);
    if (chosen.cancelled || chosen.fullPath.isEmpty()) return {};
    DataFolder = term::FolderOf(chosen.fullPath);
    return chosen.fullPath;
}

void ManualForm::FocusOutgoing() {
    if (ui->SendMessageList->isEnabled()) ui->SendMessageList->setFocus();
}

void ManualForm::MarkListChanged() {
    ListChanged = true;
    ui->ClearHistory->setEnabled(true);
    ui->LoadStartupMessageList->setEnabled(true);
}

void ManualForm::SetIncoming(const QString& text) {
    Incoming = text;
    ui->ReceivedMessages->setPlainText(term::DisplayText(text));
}

void ManualForm::EnableClearIncoming() {
    ui->ClearIncoming->setEnabled(true);
    ui->ClrIncoming->setEnabled(true);
}
