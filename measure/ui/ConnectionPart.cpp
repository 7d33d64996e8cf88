#include "measure/ui/ConnectionPart.h"
#include "bus/Instrument.h"
#include "bus/Listeners.h"
#include "bus/Session.h"
#include "common/Numbers.h"
#include "measure/Connection.h"
#include "measure/ui/TestForm.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "widgets/BusErrorBoxes.h"
#include "widgets/ControlEvents.h"
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

ConnectionPart::ConnectionPart(const Parts& parts) : c(parts) {
    // The ID answer row keeps its space when the address mode hides it: nothing below moves
    // under the user's mouse.
    for (QWidget* w :
         {static_cast<QWidget*>(c.Label10), static_cast<QWidget*>(c.Text_IDResponse)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
}

void ConnectionPart::ConnectHandlers() {
    connect(c.Button_Connect, &QPushButton::clicked, this, &ConnectionPart::Button_Connect_Click);
    for (int i = 0; i < 3; ++i)
        connect(c.Option_ID[i], &QRadioButton::clicked, this, [this, i] { Option_ID_Click(i); });
    connect(c.Combo_Addr, &QComboBox::activated, this, &ConnectionPart::Combo_Addr_Click);
    connect(c.Text_DeviceID, &QLineEdit::textChanged, this, &ConnectionPart::Text_DeviceID_Change);
    connect(c.Text_MeasQuery, &QLineEdit::textChanged, this,
            &ConnectionPart::Text_MeasQuery_Change);
    connect(c.Button_Test, &QPushButton::clicked, this, &ConnectionPart::Button_Test_Click);
    ctl::Attach(c.Text_DeviceID, {.keyPress = [this](int& k) { Text_DeviceID_KeyPress(k); },
                                  .dblClick = [this] { Text_DeviceID_DblClick(); }});
    ctl::Attach(c.Text_MeasQuery, {.keyPress = [this](int& k) { Text_MeasQuery_KeyPress(k); },
                                   .dblClick = [this] { Text_MeasQuery_DblClick(); }});
}

void ConnectionPart::FillAddresses() {
    c.Combo_Addr->clear();
    c.Combo_Addr->addItem("None");
    for (int i = 1; i <= c.listeners->count(); ++i)
        c.Combo_Addr->addItem(QString::number(c.listeners->at(i)));
    c.Button_Connect->setEnabled(false);
}

void ConnectionPart::DropConnection() {
    c.Frame1->setTitle(NotConnectedCaption);
    connection.Connected = false;
    c.Button_Test->setEnabled(false);
    emit startStateChanged();
}

void ConnectionPart::Button_Connect_Click() {
    // The search yields to window events inside each query: it is one transaction, so that no
    // window re-addresses the descriptor or starts a search of its own meanwhile.
    const gpib::Transaction transaction(c.session->activity());
    const gpib::BusActivity& activity = c.session->activity();

    const int mode = c.Option_ID[2]->isChecked() ? 2 : c.Option_ID[1]->isChecked() ? 1 : 0;
    if (mode == 2) {
        // "None" names no instrument; a recalled identification text can enable Connect here.
        if (c.Combo_Addr->currentIndex() < 1) return;
        c.instrument->setAddress(std::int16_t(NumericValue(c.Combo_Addr->currentText())));
        c.Frame1->setTitle(AddressCaption(c.instrument->address()));
    } else {
        const QString typed = c.Text_DeviceID->text();
        ctl::BusErrorBoxes boxes;
        const Identified found =
            FindByIdentification(*c.instrument, *c.listeners, mode, typed, boxes,
                                 [&] { return activity.endRequested(); });
        if (found.address < 0) {
            if (activity.endRequested()) return; // the window is closing
            platform::MsgBox("Device Error", NoMatchText(typed), platform::Buttons::Ok,
                             platform::Icon::Information);
            c.Text_DeviceID->setFocus();
            return;
        }
        QCoreApplication::processEvents();
        c.instrument->setAddress(found.address);
        c.Text_IDResponse->setText(QString::fromLatin1(found.answer.toUpper()));
        c.Frame1->setTitle(ConnectedCaption(typed, found.address));
    }
    connection.Connected = true;
    c.Button_Connect->setEnabled(false);
    const bool query = HoldsMoreThanSpaces(c.Text_MeasQuery->text());
    c.Button_Test->setEnabled(query);
    emit startStateChanged();
    if (query)
        c.Button_Test->setFocus();
    else
        c.Text_MeasQuery->setFocus();
}

void ConnectionPart::Option_ID_Click(int index) {
    if (index == 2) {
        c.Text_DeviceID->hide();
        c.Label10->hide();
        c.Text_IDResponse->hide();
        c.Combo_Addr->show();
        c.Label5->setText("Select GPIB Address:");
        c.Button_Connect->setEnabled(c.Combo_Addr->currentIndex() >= 1);
        DropConnection();
    } else {
        const QString text = c.Text_DeviceID->text();
        if (!text.isEmpty()) {
            // Putting the same text back runs the change handling, which drops the connection.
            c.Text_DeviceID->clear();
            c.Text_DeviceID->setText(text);
        }
        if (connection.LastIdOption == 2) {
            c.Text_DeviceID->show();
            c.Label10->show();
            c.Text_IDResponse->show();
            c.Combo_Addr->hide();
            c.Label5->setText("Device ID:");
            c.Button_Connect->setEnabled(!c.Text_DeviceID->text().isEmpty());
        }
    }
    connection.LastIdOption = index;
    c.settings->markChanged();
}

void ConnectionPart::Combo_Addr_Click() {
    if (!c.Option_ID[2]->isChecked()) return;
    c.Button_Connect->setEnabled(c.Combo_Addr->currentText() != "None");
    DropConnection();
    c.settings->markChanged();
}

void ConnectionPart::Text_DeviceID_Change() {
    c.Button_Connect->setEnabled(!c.Text_DeviceID->text().isEmpty());
    c.Text_IDResponse->clear();
    DropConnection();
    if (*c.activated) c.settings->markChanged();
}

void ConnectionPart::Text_MeasQuery_Change() {
    c.Button_Test->setEnabled(connection.Connected &&
                              HoldsMoreThanSpaces(c.Text_MeasQuery->text()));
    emit startStateChanged();
    if (*c.activated) c.settings->markChanged();
}

void ConnectionPart::Text_DeviceID_DblClick() {
    c.Text_DeviceID->clear();
}

void ConnectionPart::Text_MeasQuery_DblClick() {
    c.Text_MeasQuery->clear();
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

void ConnectionPart::Text_DeviceID_KeyPress(int& keyAscii) {
    MoveOnKey(keyAscii, c.Text_DeviceID, c.Text_MeasQuery, c.Button_Connect);
}

void ConnectionPart::Text_MeasQuery_KeyPress(int& keyAscii) {
    MoveOnKey(keyAscii, c.Text_MeasQuery, c.Text_DeviceID, c.Button_Connect);
}

void ConnectionPart::Button_Test_Click() {
    TestForm dialog({c.Text_MeasQuery, c.Text_DeviceID}, *c.settings, *c.instrument, c.window);
    dialog.exec();
}
