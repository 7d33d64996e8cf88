// Connecting to the measuring instrument: by its identification answer or by address.
#include "app/MainForm.h"
#include "bus/BusAccess.h"
#include "bus/Discovery.h"
#include "bus/GpibDriver.h"
#include "measure/Processing.h"
#include "platform/Platform.h"
#include "settings/SettingsStore.h"
#include "ui_MainForm.h"
#include <QCoreApplication>

namespace {
const char* const NotConnected = "  Not Connected  ";

bool HoldsMoreThanSpaces(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c != ' '; });
}
} // namespace

void MainForm::Button_Connect_Click() {
    // The search yields to window events inside each query; a second click must not start a
    // second search inside the first.
    static bool searching = false;
    if (searching) return;
    searching = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{searching};

    const int mode = Option_ID[2]->isChecked() ? 2 : Option_ID[1]->isChecked() ? 1 : 0;
    if (mode == 2) {
        // "None" names no instrument; a recalled identification text can enable Connect here.
        if (ui->Combo_Addr->currentIndex() < 1) return;
        DeviceAddress = std::int16_t(NumericValue(ui->Combo_Addr->currentText()));
        gpib::Bus().ibpad(DeviceUd, DeviceAddress);
        ui->Frame1->setTitle(QStringLiteral("  Connected to address %1  ").arg(DeviceAddress));
        Connected = true;
    } else {
        const QByteArray query = mode == 0 ? "ID?" : "*IDN?";
        const QString typed = ui->Text_DeviceID->text();
        // The answer's bytes and the typed text are upper-cased alike (ASCII letters only), so
        // that any text typed exactly as the instrument answers also matches.
        const QByteArray wanted = typed.toLatin1().toUpper();
        std::int16_t found = -1;
        QByteArray answer;
        for (int i = 1; i <= ListenerList[0]; ++i) {
            gpib::Bus().ibpad(DeviceUd, ListenerList[i]);
            answer = GpibQuery(DeviceUd, query).toUpper();
            if (!answer.isEmpty() && answer.contains(wanted)) {
                found = ListenerList[i];
                break;
            }
        }
        if (found < 0) {
            // Keep the descriptor on the instrument the window is connected to, if any.
            gpib::Bus().ibpad(DeviceUd, DeviceAddress);
            platform::MsgBox("Device Error", "No response that matched " + typed + " was found.",
                             platform::Buttons::Ok, platform::Icon::Information);
            ui->Text_DeviceID->setFocus();
            return;
        }
        QCoreApplication::processEvents();
        DeviceAddress = found;
        ui->Text_IDResponse->setText(QString::fromLatin1(answer));
        ui->Frame1->setTitle(
            QStringLiteral("  Connected to %1 at address %2  ").arg(typed, QString::number(found)));
        Connected = true;
    }
    ui->Button_Connect->setEnabled(false);
    if (HoldsMoreThanSpaces(ui->Text_MeasQuery->text())) {
        ui->Button_Start->setEnabled(TimeApplied);
        ui->Button_Test->setEnabled(true);
        ui->Button_Test->setFocus();
    } else {
        ui->Button_Start->setEnabled(false);
        ui->Text_MeasQuery->setFocus();
    }
}

void MainForm::Option_ID_Click(int index) {
    if (index == 2) {
        ui->Text_DeviceID->hide();
        ui->Label10->hide();
        ui->Text_IDResponse->hide();
        ui->Combo_Addr->show();
        ui->Label5->setText("Select GPIB Address:");
        ui->Frame1->setTitle(NotConnected);
        Connected = false;
        ui->Button_Connect->setEnabled(ui->Combo_Addr->currentIndex() >= 1);
        ui->Button_Test->setEnabled(false);
        ui->Button_Start->setEnabled(false);
    } else {
        const QString text = ui->Text_DeviceID->text();
        if (!text.isEmpty()) {
            // Putting the same text back runs the change handling, which drops the connection.
            ui->Text_DeviceID->clear();
            ui->Text_DeviceID->setText(text);
        }
        if (LastIdOption == 2) {
            ui->Text_DeviceID->show();
            ui->Label10->show();
            ui->Text_IDResponse->show();
            ui->Combo_Addr->hide();
            ui->Label5->setText("Device ID:");
            ui->Button_Connect->setEnabled(!ui->Text_DeviceID->text().isEmpty());
        }
    }
    LastIdOption = index;
    SettingsChanged = true;
}

void MainForm::Combo_Addr_Click() {
    if (!Option_ID[2]->isChecked()) return;
    ui->Button_Connect->setEnabled(ui->Combo_Addr->currentText() != "None");
    ui->Frame1->setTitle(NotConnected);
    Connected = false;
    ui->Button_Test->setEnabled(false);
    ui->Button_Start->setEnabled(false);
    SettingsChanged = true;
}

void MainForm::Text_DeviceID_Change() {
    ui->Button_Connect->setEnabled(!ui->Text_DeviceID->text().isEmpty());
    ui->Text_IDResponse->clear();
    ui->Frame1->setTitle(NotConnected);
    Connected = false;
    ui->Button_Test->setEnabled(false);
    ui->Button_Start->setEnabled(false);
    if (Activated) SettingsChanged = true;
}

void MainForm::Text_MeasQuery_Change() {
    if (HoldsMoreThanSpaces(ui->Text_MeasQuery->text())) {
        ui->Button_Test->setEnabled(Connected);
        ui->Button_Start->setEnabled(TimeApplied && Connected);
    } else {
        ui->Button_Test->setEnabled(false);
        ui->Button_Start->setEnabled(false);
    }
    if (Activated) SettingsChanged = true;
}

void MainForm::Text_DeviceID_DblClick() {
    ui->Text_DeviceID->clear();
}

void MainForm::Text_MeasQuery_DblClick() {
    ui->Text_MeasQuery->clear();
}

namespace {
// Upper case while typed; Enter moves on to the other box or to Connect.
void IdentificationKey(int& keyAscii, QLineEdit* own, QLineEdit* other, QWidget* connect) {
    if (keyAscii >= 'a' && keyAscii <= 'z') {
        keyAscii -= 'a' - 'A';
        return;
    }
    if (keyAscii != 13) return;
    keyAscii = 0;
    if (own->text().isEmpty()) return;
    if (!other->text().isEmpty())
        connect->setFocus();
    else
        other->setFocus();
}
} // namespace

void MainForm::Text_DeviceID_KeyPress(int& keyAscii) {
    IdentificationKey(keyAscii, ui->Text_DeviceID, ui->Text_MeasQuery, ui->Button_Connect);
}

void MainForm::Text_MeasQuery_KeyPress(int& keyAscii) {
    IdentificationKey(keyAscii, ui->Text_MeasQuery, ui->Text_DeviceID, ui->Button_Connect);
}
