// Syntax checking after each write, the transfers between files and instruments, and the
// bus trace into a file.
#include "bus/BusAccess.h"
#include "bus/BusActivity.h"
#include "bus/BusTrace.h"
#include "bus/GpibDriver.h"
#include "bus/Listeners.h"
#include "bus/Session.h"
#include "common/Numbers.h"
#include "platform/Platform.h"
#include "terminal/ui/ManualForm.h"
#include "ui_ManualForm.h"
#include "widgets/BusErrorBoxes.h"
#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QTimer>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {

constexpr int CheckTimeout = 10;    // 300 ms for the service request after a write
constexpr int TransferTimeout = 15; // 100 s for a file transfer
constexpr int StatusPolls = 25;
constexpr qint64 ShowLimit = 1 << 20; // a data file beyond this is shown in part

const QString DataFilter = QStringLiteral("Data Files (*.dat)|*.dat");
const QString DataOrAllFilter = QStringLiteral("Data Files (*.dat)|*.dat|All Files (*.*)|*.*");
const QString TraceFilter = QStringLiteral("Trace Files (*.txt)|*.txt|All Files (*.*)|*.*");

// The descriptor's timeout raised for a transfer and set back whatever happens.
struct TransferTimeoutScope {
    TransferTimeoutScope(gpib::Driver& bus, int ud) : bus_(bus), ud_(ud) {
        bus_.ibask(ud_, gpib::IbaTMO, &previous_);
        bus_.ibtmo(ud_, TransferTimeout);
    }
    ~TransferTimeoutScope() { bus_.ibtmo(ud_, previous_); }
    TransferTimeoutScope(const TransferTimeoutScope&) = delete;
    TransferTimeoutScope& operator=(const TransferTimeoutScope&) = delete;

private:
    gpib::Driver& bus_;
    int ud_;
    int previous_ = 12;
};

QString AddressText(int address) {
    return QString::fromLatin1(NumberText(double(address)));
}

void TransferError(int iberr) {
    platform::MsgBox("File Transfer Error",
                     "The transfer failed: " + QString::fromLatin1(GpibErrorMessage(iberr)),
                     Buttons::Ok, Icon::Warning);
}

} // namespace

// ---- Syntax checking

void ManualForm::ApplySyntaxMethod(int method) {
    const gpib::Transaction transaction(Activity());
    gpib::Driver& bus = Bus();
    if (method == 1) {
        bus.DevClear(0, gpib::Addr4882_t(Device.address()));
        for (const QByteArray command : {"DESE 32", "*ESE 32", "*SRE 48"})
            bus.ibwrt(TerminalUd, command.constData(), command.size());
    }
    Selection.SyntaxMethod[Selection.SelectedButton] = std::int16_t(method);
    SetAddressColour(Selection.SelectedButton - 1, method != 0);
}

void ManualForm::SetAddressColour(int index, bool checking) {
    if (index < 0 || index >= int(AddressButton.size())) return;
    QPalette palette = AddressButton[index]->palette();
    palette.setColor(QPalette::ButtonText,
                     checking ? QColor(0, 0, 255)
                              : QApplication::palette().color(QPalette::ButtonText));
    AddressButton[index]->setPalette(palette);
}

void ManualForm::PrepareSyntaxCheck(int method) {
    gpib::Driver& bus = Bus();
    if (method == 1) bus.ibwrt(TerminalUd, "*CLS", 4);
    for (int i = 0; i < StatusPolls; ++i) {
        char status = 0;
        // A failing poll would fail 25 times over; one is enough to stop.
        if (bus.ibrsp(TerminalUd, &status) & gpib::ERR) {
            if (bus.iberr() == gpib::ECAP) SyntaxCheckImpossible();
            break;
        }
        if (status == 0) break;
    }
}

// A device without a status byte (a raw socket) cannot be checked; its button stops trying.
void ManualForm::SyntaxCheckImpossible() {
    platform::MsgBox("Syntax Checking",
                     QString("The device at address %1 cannot be serial-polled: a LAN "
                             "instrument on a raw socket has no status byte. Syntax checking "
                             "is turned off for its button.")
                         .arg(Device.address()),
                     platform::Buttons::Ok, platform::Icon::Warning);
    Selection.SyntaxMethod[Selection.SelectedButton] = 0;
    SetAddressColour(Selection.SelectedButton - 1, false);
}

bool ManualForm::CheckSyntax(std::int16_t dev) {
    if (dev == 0) return !ctl::ShowBusError({bus::Error::Kind::NotConfigured}); // the end
    gpib::Driver& bus = Bus();
    int previous = CheckTimeout;
    bus.ibask(dev, gpib::IbaTMO, &previous);
    if (previous != CheckTimeout) bus.ibtmo(dev, CheckTimeout);
    bus.ibwait(dev, gpib::TIMO | gpib::RQS);
    if (previous != CheckTimeout) bus.ibtmo(dev, previous);
    char status = 0;
    bus.ibrsp(dev, &status);
    if (!term::IsSyntaxError(Selection.SyntaxMethod[Selection.SelectedButton],
                             static_cast<unsigned char>(status)))
        return false;
    ShowSyntaxErrorMessage();
    return true;
}

void ManualForm::ShowSyntaxErrorMessage() {
    Timer1->start();
}

void ManualForm::Timer1_Timer() {
    ++BlinkCount;
    ui->SyntaxErrorMessage->setVisible(!ui->SyntaxErrorMessage->isVisibleTo(this));
    if (BlinkCount >= 7) {
        BlinkCount = 0;
        Timer1->stop();
        ui->SyntaxErrorMessage->setVisible(true);
    }
}

// ---- Receiving into files

void ManualForm::SendtoFileOnce_Click() {
    const bool mark = !ui->SendtoFileOnce->isChecked();
    ui->SendtoFileOnce->setChecked(mark);
    if (mark) ui->SendToFile->setChecked(false);
    ui->AutoClear->setEnabled(!mark);
    FocusOutgoing();
}

void ManualForm::SendToFile_Click() {
    const bool mark = !ui->SendToFile->isChecked();
    ui->SendToFile->setChecked(mark);
    if (mark) ui->SendtoFileOnce->setChecked(false);
    ui->AutoClear->setEnabled(!mark);
    OptionChanged[9] = true;
    FocusOutgoing();
}

bool ManualForm::ReceiveToFile(const QByteArray& msg) {
    if (!ReceiveWarningShown) {
        if (platform::MsgBox(
                "Warning",
                "NOTE!  For incoming data transfer to a file the timeout will be set to 100 secs "
                "which means that\nin case of a syntax error in the query the computer will "
                "appear locked for this amount of time.\nYou may prevent this by enabling the "
                "Syntax Check feature. Also be aware of that the incoming\ndata will not be "
                "displayed in the Incoming Data list.\n\nThis message will be displayed only "
                "once.\n\nDo you wish to continue ?",
                Buttons::YesNo, Icon::Warning, Answer::Yes) != Answer::Yes)
            return false;
        ReceiveWarningShown = true;
    }
    const QString path =
        ChooseFile(Dialog::Save, "Save Incoming Message to File", DataFilter, "Data");
    if (path.isEmpty()) return false;

    bool failed = !ctl::ShowBusError(Device.write(msg));
    if (Selection.SyntaxMethod[Selection.SelectedButton] != 0 && CheckSyntax(TerminalUd))
        failed = true;
    if (failed) return true;

    ManualForm::WaitCursor wait;
    QCoreApplication::processEvents();
    gpib::Driver& bus = Bus();
    // The answer goes to a file of its own first, so a driver that appends finds it empty and
    // a failed transfer never costs the chosen file its old contents.
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    int sta = 0;
    long count = 0;
    int err = 0;
    {
        TransferTimeoutScope timeout(bus, TerminalUd);
        bus.ibwait(TerminalUd, gpib::TIMO | gpib::CMPL);
        sta = bus.ibrdf(TerminalUd, QFile::encodeName(part).constData());
        count = bus.ibcntl();
        err = bus.iberr();
    }
    if (sta & gpib::ERR && !(sta & gpib::TIMO)) {
        TransferError(err);
    } else {
        // After a timeout the chosen file holds what arrived, which the box calls incomplete.
        if (sta & gpib::TIMO)
            platform::MsgBox(
                "Timeout Has Occured",
                "This may be due to either a syntax error or a transfer longer than 100 secs. In "
                "the latter case the\ndata transfer may be incomplete and there is probably "
                "remaining data in the device's output buffer.\nTo clear, uncheck \"Send "
                "Received Data to File\" and send a single questionmark (?).",
                Buttons::Ok, Icon::Warning);
        if (!QFile::exists(part)) QFile(part).open(QIODevice::WriteOnly); // nothing arrived
        QFile::remove(path);
        if (!QFile::rename(part, path))
            platform::MsgBox("File Write error",
                             "Can't write to the file " + path +
                                 ". It is probably write protected.",
                             Buttons::Ok, Icon::Warning);
    }
    // What a failed transfer brought is kept under the partial name only when there is any.
    if (QFile::exists(part) && QFile(part).size() == 0) QFile::remove(part);
    ui->ReceivedCharacters->setText(term::CountCaption(count));
    if (!ui->ClearIncoming->isEnabled()) EnableClearIncoming();
    return true;
}

// ---- Sending files and showing them

void ManualForm::SendToDevice_Click() {
    if (!SendWarningShown) {
        if (platform::MsgBox("Warning",
                             "NOTE!  For this data transfer to a device the timeout will be set "
                             "to 100 secs which means that\nin case of an error in the transfer "
                             "the computer will appear locked for this amount of time.\n\nThis "
                             "message will be displayed only once.\n\nDo you wish to continue ?",
                             Buttons::YesNo, Icon::Warning, Answer::Yes) != Answer::Yes)
            return;
        SendWarningShown = true;
    }
    if (Selection.SelectedButton < 1) return;
    const int address = ListenerList.at(Selection.SelectedButton);
    QString path;
    for (;;) {
        path = ChooseFile(Dialog::Open,
                          "Send Data from File to the Device at Address" + AddressText(address),
                          DataOrAllFilter);
        if (path.isEmpty()) return;
        if (platform::MsgBox("Send Datafile to Device",
                             "Are you sure you want to send the content of the file: " +
                                 path.mid(path.lastIndexOf(u'/') + 1) +
                                 "\nto the device at address" + AddressText(address) + ".",
                             Buttons::YesNo, Icon::Question, Answer::Yes) == Answer::Yes)
            break;
    }
    int sta = 0;
    int err = 0;
    {
        const gpib::Transaction transaction(Activity());
        ManualForm::WaitCursor wait;
        QCoreApplication::processEvents();
        gpib::Driver& bus = Bus();
        TransferTimeoutScope timeout(bus, TerminalUd);
        bus.ibwait(TerminalUd, gpib::TIMO | gpib::CMPL);
        sta = bus.ibwrtf(TerminalUd, QFile::encodeName(path).constData());
        err = bus.iberr();
    }
    if (sta & gpib::TIMO)
        platform::MsgBox("Timeout Has Occured",
                         "This may be due to either the device doesn't accept the data or a "
                         "transfer longer than 100 secs.\nIn the latter case the data transfer "
                         "may be incomplete. Try to split the datafile into two.",
                         Buttons::Ok, Icon::Warning);
    else if (sta & gpib::ERR)
        TransferError(err);
}

void ManualForm::DisplayFile_Click() {
    const QString path = ChooseFile(Dialog::Open, "Show Data File", DataOrAllFilter);
    if (path.isEmpty()) return;
    QFile file(path);
    // A file that cannot be read leaves the incoming box as it was.
    if (!file.open(QIODevice::ReadOnly)) return;
    const qint64 size = file.size();
    const QByteArray bytes = file.read(ShowLimit);
    if (file.error() != QFileDevice::NoError) return;
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    SetIncoming(term::DataFileBegin(name) + term::DataFileText(bytes) + term::DataFileEnd +
                Incoming);
    if (!ui->ClearIncoming->isEnabled()) EnableClearIncoming();
    if (size > ShowLimit)
        platform::MsgBox("Show Data File",
                         QStringLiteral("The file %1 holds %2 bytes.\nOnly its first %3 bytes are "
                                        "shown.")
                             .arg(name)
                             .arg(size)
                             .arg(ShowLimit),
                         Buttons::Ok, Icon::Information);
}

void ManualForm::BusTrace_Click() {
    gpib::TracedDriver& trace = Device.session().trace();
    // The item's own toggle is undone: its mark shows whether a trace runs, nothing else.
    if (trace.active()) {
        trace.stop();
    } else if (const QString path =
                   ChooseFile(Dialog::Save, "Bus Trace", TraceFilter, QStringLiteral("BusTrace"));
               !path.isEmpty()) {
        QString error;
        if (!trace.start(path, &error))
            platform::MsgBox("Bus Trace", error, Buttons::Ok, Icon::Warning);
    }
    ui->BusTrace->setChecked(trace.active());
}
