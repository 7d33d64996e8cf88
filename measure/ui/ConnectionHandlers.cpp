// The connection frame's handlers: by identification answer or by address. What they decide
// is in Connection.h.
#include "app/MainForm.h"
#include "bus/Session.h"
#include "common/Numbers.h"
#include "measure/Connection.h"
#include "measure/ui/TestForm.h"
#include "platform/Platform.h"
#include "ui_MainForm.h"
#include "widgets/BusErrorBoxes.h"
#include <QCoreApplication>

void MainForm::DropConnection() {
    ui->Frame1->setTitle(NotConnectedCaption);
    connection.Connected = false;
    ui->Button_Test->setEnabled(false);
    UpdateStartButton();
}

void MainForm::Button_Connect_Click() {
    // The search yields to window events inside each query: it is one transaction, so that no
    // window re-addresses the descriptor or starts a search of its own meanwhile.
    const gpib::Transaction transaction(session.activity());
    const gpib::BusActivity& activity = session.activity();

    const int mode = Option_ID[2]->isChecked() ? 2 : Option_ID[1]->isChecked() ? 1 : 0;
    if (mode == 2) {
        // "None" names no instrument; a recalled identification text can enable Connect here.
        if (ui->Combo_Addr->currentIndex() < 1) return;
        instrument.setAddress(std::int16_t(NumericValue(ui->Combo_Addr->currentText())));
        ui->Frame1->setTitle(AddressCaption(instrument.address()));
    } else {
        const QByteArray query = IdentificationQuery(mode);
        const QString typed = ui->Text_DeviceID->text();
        std::int16_t found = -1;
        QByteArray answer;
        for (int i = 1; i <= listeners.count() && !activity.endRequested(); ++i) {
            answer = ctl::AnswerOf(instrument.queryAt(listeners.at(i), query));
            if (IdentificationMatches(answer, typed)) {
                found = listeners.at(i);
                break;
            }
        }
        if (found < 0) {
            // Keep the descriptor on the instrument the window is connected to, if any.
            instrument.setAddress(instrument.address());
            if (activity.endRequested()) return; // the window is closing
            platform::MsgBox("Device Error", "No response that matched " + typed + " was found.",
                             platform::Buttons::Ok, platform::Icon::Information);
            ui->Text_DeviceID->setFocus();
            return;
        }
        QCoreApplication::processEvents();
        instrument.setAddress(found);
        ui->Text_IDResponse->setText(QString::fromLatin1(answer.toUpper()));
        ui->Frame1->setTitle(ConnectedCaption(typed, found));
    }
    connection.Connected = true;
    ui->Button_Connect->setEnabled(false);
    const bool query = HoldsMoreThanSpaces(ui->Text_MeasQuery->text());
    ui->Button_Test->setEnabled(query);
    UpdateStartButton();
    if (query)
        ui->Button_Test->setFocus();
    else
        ui->Text_MeasQuery->setFocus();
}

void MainForm::Option_ID_Click(int index) {
    if (index == 2) {
        ui->Text_DeviceID->hide();
        ui->Label10->hide();
        ui->Text_IDResponse->hide();
        ui->Combo_Addr->show();
        ui->Label5->setText("Select GPIB Address:");
        ui->Button_Connect->setEnabled(ui->Combo_Addr->currentIndex() >= 1);
        DropConnection();
    } else {
        const QString text = ui->Text_DeviceID->text();
        if (!text.isEmpty()) {
            // Putting the same text back runs the change handling, which drops the connection.
            ui->Text_DeviceID->clear();
            ui->Text_DeviceID->setText(text);
        }
        if (connection.LastIdOption == 2) {
            ui->Text_DeviceID->show();
            ui->Label10->show();
            ui->Text_IDResponse->show();
            ui->Combo_Addr->hide();
            ui->Label5->setText("Device ID:");
            ui->Button_Connect->setEnabled(!ui->Text_DeviceID->text().isEmpty());
        }
    }
    connection.LastIdOption = index;
    settings.markChanged();
}

void MainForm::Combo_Addr_Click() {
    if (!Option_ID[2]->isChecked()) return;
    ui->Button_Connect->setEnabled(ui->Combo_Addr->currentText() != "None");
    DropConnection();
    settings.markChanged();
}

void MainForm::Text_DeviceID_Change() {
    ui->Button_Connect->setEnabled(!ui->Text_DeviceID->text().isEmpty());
    ui->Text_IDResponse->clear();
    DropConnection();
    if (startup.Activated) settings.markChanged();
}

void MainForm::Text_MeasQuery_Change() {
    ui->Button_Test->setEnabled(connection.Connected &&
                                HoldsMoreThanSpaces(ui->Text_MeasQuery->text()));
    UpdateStartButton();
    if (startup.Activated) settings.markChanged();
}

void MainForm::Text_DeviceID_DblClick() {
    ui->Text_DeviceID->clear();
}

void MainForm::Text_MeasQuery_DblClick() {
    ui->Text_MeasQuery->clear();
}

namespace {
// Upper case while typed; Enter moves on to the other box or to Connect.
void MoveOnKey(int& keyAscii, QLineEdit* own, QLineEdit* other, QWidget* connect) {
    const IdentificationKeyResult r = IdentificationKey(keyAscii, own->text(), other->text());
    keyAscii = r.keyAscii;
    if (r.focus == IdentificationKeyResult::Focus::OtherBox) other->setFocus();
    if (r.focus == IdentificationKeyResult::Focus::Connect) connect->setFocus();
}
} // namespace

void MainForm::Text_DeviceID_KeyPress(int& keyAscii) {
    MoveOnKey(keyAscii, ui->Text_DeviceID, ui->Text_MeasQuery, ui->Button_Connect);
}

void MainForm::Text_MeasQuery_KeyPress(int& keyAscii) {
    MoveOnKey(keyAscii, ui->Text_MeasQuery, ui->Text_DeviceID, ui->Button_Connect);
}

void MainForm::Button_Test_Click() {
    TestForm dialog({ui->Text_MeasQuery, ui->Text_DeviceID}, settings, instrument, this);
    dialog.exec();
}
