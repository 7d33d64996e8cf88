#include "condition/ui/CondForm.h"
#include "bus/Instrument.h"
#include "bus/Listeners.h"
#include "platform/Platform.h"
#include "widgets/BusErrorBoxes.h"
#include "widgets/BusGate.h"
#include "widgets/ControlEvents.h"
#include "widgets/TwipsLayout.h"
#include <QApplication>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {
const QSize DesignClient(483, 327);
} // namespace

CondForm::CondForm(settings::Settings& settings, const bus::Instrument& instrument,
                   const bus::Listeners& listeners, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      settings_(settings), instrument_(instrument), listeners_(listeners) {
    ui.setupUi(this);
    Option_CondOption_CondOption_Cond = {ui.Option_CondOption_CondOption_Cond_0,
                                         ui.Option_CondOption_CondOption_Cond_1};
    Option_Cond = {ui.Option_Cond_0, ui.Option_Cond_1, ui.Option_Cond_2, ui.Option_Cond_3,
                   ui.Option_Cond_4};
    Text_Target = {ui.Text_Target_0, ui.Text_Target_1};
    Combo_Pct = {ui.Combo_Pct_0, ui.Combo_Pct_1};
    Check_CondSelect = {ui.Check_CondSelect_0, ui.Check_CondSelect_1};
    ConnectHandlers();
    Form_Load();
    twips::Place(this, DesignClient, twips::FitScale(this));
}

void CondForm::Open(QWidget* parent, settings::Settings& settings,
                    const bus::Instrument& instrument, const bus::Listeners& listeners) {
    CondForm form(settings, instrument, listeners, parent);
    form.exec();
}

void CondForm::ConnectHandlers() {
    // Like the controls this dialog was drawn for, a box or list reports a change made by the
    // program too; CondFormActivated keeps loading from counting as an edit.
    connect(ui.Check_CondOn, &QCheckBox::toggled, this, &CondForm::Check_CondOn_Click);
    connect(ui.Check_EndSeq, &QCheckBox::toggled, this, &CondForm::Check_EndSeq_Click);
    connect(ui.Check_SendAtEnd, &QCheckBox::toggled, this, &CondForm::Check_SendAtEnd_Click);
    connect(ui.Combo_NoOfCond, &QComboBox::currentIndexChanged, this,
            &CondForm::Combo_NoOfCond_Click);
    connect(ui.Combo_GPIBaddr, &QComboBox::currentIndexChanged, this,
            &CondForm::Combo_GPIBaddr_Click);
    for (int i = 0; i < 5; ++i)
        connect(Option_Cond[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) Option_Cond_Click(i);
        });
    for (int i = 0; i < 2; ++i) {
        connect(Combo_Pct[i], &QComboBox::currentIndexChanged, this,
                [this, i] { Combo_Pct_Click(i); });
        connect(Check_CondSelect[i], &QCheckBox::toggled, this,
                [this, i] { Check_CondSelect_Click(i); });
        connect(Text_Target[i], &QLineEdit::textChanged, this,
                [this, i] { Text_Target_Change(i); });
        ctl::Attach(Text_Target[i], {[this, i](int& k) { Text_Target_KeyPress(i, k); },
                                     [this, i] { Text_Target_DblClick(i); },
                                     {},
                                     {},
                                     {}});
    }
    connect(ui.Text_Command, &QLineEdit::textChanged, this, &CondForm::Text_Command_Change);
    ctl::Attach(ui.Text_Command, {[this](int& k) { Text_Command_KeyPress(k); },
                                  [this] { Text_Command_DblClick(); },
                                  {},
                                  {},
                                  {}});
    connect(ui.Button_Test, &QPushButton::clicked, this, &CondForm::Button_Test_Click);
    connect(ui.Button_OK, &QPushButton::clicked, this, &CondForm::Button_OK_Click);
    connect(ui.Button_Cancel, &QPushButton::clicked, this, &CondForm::Button_Cancel_Click);
    // The command, its address and Test wait while a bus call is under way.
    ctl::RefuseDuringBus(instrument_.activity(), this,
                         {ui.Button_Test, ui.Combo_GPIBaddr, ui.Text_Command});
}

void CondForm::SelectValue(QComboBox* combo, int position, int value) {
    if (position < 0 || position >= combo->count()) {
        // A hand-made word's value outside the list is shown as it is, not bent into range.
        combo->addItem(QString::number(value));
        position = combo->count() - 1;
    }
    combo->setCurrentIndex(position);
}

void CondForm::Form_Load() {
    CondFormActivated = false;
    for (int i = 0; i <= 30; ++i) {
        Combo_Pct[0]->addItem(QString::number(i));
        Combo_Pct[1]->addItem(QString::number(i));
        if (i >= 1) ui.Combo_NoOfCond->addItem(QString::number(i));
    }
    const CondCommand& stored = settings_.condCommand();
    const CondFields f = FieldsByChar(stored.ConditionStatusWord);
    const CondControls c = ControlsFromFields(f);
    for (int i = 0; i < 2; ++i)
        Check_CondSelect[i]->setChecked(c.select[i]);
    for (int i = 0; i < 5; ++i)
        Option_Cond[i]->setChecked(c.option[i]);
    SelectValue(Combo_Pct[0], c.pct[0], c.pct[0]);
    SelectValue(Combo_Pct[1], c.pct[1], c.pct[1]);
    SelectValue(ui.Combo_NoOfCond, c.noOfCond - 1, c.noOfCond);

    ui.Combo_GPIBaddr->addItem("None");
    for (int i = 1; i <= listeners_.count(); ++i)
        ui.Combo_GPIBaddr->addItem(QString::number(listeners_.at(i)));
    const int found = ui.Combo_GPIBaddr->findText(QString::number(c.gpibAddr));
    ui.Combo_GPIBaddr->setCurrentIndex(c.gpibAddr != 0 && found > 0 ? found : 0);
    ui.Button_Test->setEnabled(false);

    ui.Check_EndSeq->setChecked(c.endSeq);
    ui.Check_SendAtEnd->setChecked(c.sendAtEnd);
    ui.Check_CondOn->setChecked(c.condOn);
    Text_Target[0]->setText(stored.ConditionTargetValue[0]);
    Text_Target[1]->setText(stored.ConditionTargetValue[1]);
    ui.Text_Command->setText(stored.ConditionGPIBCommand);
    LoadedWord = WriteStatusWord(Controls());
}

void CondForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!CondFormActivated) Form_Activate();
}

void CondForm::Form_Activate() {
    ui.Button_OK->setEnabled(false);
    CondFormActivated = true;
}

void CondForm::EnableOK() {
    if (CondFormActivated) ui.Button_OK->setEnabled(true);
}

void CondForm::UpdateTestButton() {
    ui.Button_Test->setEnabled(!ui.Text_Command->text().isEmpty() &&
                               ui.Combo_GPIBaddr->currentIndex() > 0);
}

void CondForm::Check_CondOn_Click() {
    EnableOK();
}

void CondForm::Check_EndSeq_Click() {
    EnableOK();
}

void CondForm::Check_SendAtEnd_Click() {
    EnableOK();
}

void CondForm::Combo_NoOfCond_Click() {
    EnableOK();
}

void CondForm::Combo_Pct_Click(int) {
    EnableOK();
}

void CondForm::Option_Cond_Click(int index) {
    static const std::array<const char*, 3> words = {"minus", "plus", "within"};
    if (index < 3) ui.Label1->setText(words[index]);
    EnableOK();
}

void CondForm::Check_CondSelect_Click(int index) {
    if (!CondFormActivated) return;
    // A condition without its target or amount cannot take part.
    if (Text_Target[index]->text().isEmpty()) Check_CondSelect[index]->setChecked(false);
    EnableOK();
}

void CondForm::Text_Target_Change(int index) {
    QLineEdit* box = Text_Target[index];
    if (box->text() == ".") box->setText("0.");
    box->setCursorPosition(int(box->text().size()));
    if (box->text().isEmpty()) {
        Check_CondSelect[index]->setChecked(false);
        ui.Button_OK->setEnabled(false);
    } else {
        EnableOK();
    }
}

void CondForm::Text_Target_KeyPress(int index, int& keyAscii) {
    const QString text = Text_Target[index]->text();
    if (keyAscii == '-') {
        if (text.contains('-')) keyAscii = 0;
    } else if (keyAscii == ',' || keyAscii == '.') {
        keyAscii = text.contains('.') ? 0 : '.';
    } else if (keyAscii != 8 && (keyAscii < '0' || keyAscii > '9')) {
        keyAscii = 0;
    }
}

void CondForm::Text_Target_DblClick(int index) {
    Text_Target[index]->clear();
}

void CondForm::Text_Command_Change() {
    ui.Text_Command->setCursorPosition(int(ui.Text_Command->text().size()));
    UpdateTestButton();
    EnableOK();
}

void CondForm::Text_Command_KeyPress(int& keyAscii) {
    if (keyAscii >= 'a' && keyAscii <= 'z') keyAscii -= 'a' - 'A';
    if (keyAscii == 13) {
        if (ui.Button_Test->isEnabled()) ui.Button_Test->setFocus();
        QApplication::processEvents();
    }
}

void CondForm::Text_Command_DblClick() {
    ui.Text_Command->clear();
}

void CondForm::Combo_GPIBaddr_Click() {
    UpdateTestButton();
    // While loading the dialog is not shown yet, and the focus stays where it is.
    if (!isVisible()) return;
    if (ui.Combo_GPIBaddr->currentIndex() > 0) ui.Text_Command->setFocus();
    EnableOK();
}

void CondForm::Button_Test_Click() {
    ctl::ShowBusError(instrument_.sendTo(std::int16_t(ui.Combo_GPIBaddr->currentText().toInt()),
                                         ui.Text_Command->text().toLatin1()));
    ui.Text_Command->setCursorPosition(int(ui.Text_Command->text().size()));
    ui.Text_Command->setFocus();
}

CondControls CondForm::Controls() const {
    CondControls c;
    c.condOn = ui.Check_CondOn->isChecked();
    c.sendAtEnd = ui.Check_SendAtEnd->isChecked();
    c.endSeq = ui.Check_EndSeq->isChecked();
    c.gpibAddr =
        ui.Combo_GPIBaddr->currentIndex() > 0 ? ui.Combo_GPIBaddr->currentText().toInt() : 0;
    // The entries' numbers are their list positions (the count's plus 1); reading the text
    // also writes back a hand-made value the list shows as an entry of its own.
    c.noOfCond = ui.Combo_NoOfCond->currentText().toInt();
    c.pct = {Combo_Pct[0]->currentText().toInt(), Combo_Pct[1]->currentText().toInt()};
    for (int i = 0; i < 5; ++i)
        c.option[i] = Option_Cond[i]->isChecked();
    c.select = {Check_CondSelect[0]->isChecked(), Check_CondSelect[1]->isChecked()};
    return c;
}

void CondForm::Button_OK_Click() {
    if (ui.Check_CondOn->isChecked()) {
        QStringList errors;
        if (!Check_CondSelect[0]->isChecked() && !Check_CondSelect[1]->isChecked())
            errors << "No Condition selected";
        if (ui.Combo_GPIBaddr->currentIndex() <= 0) {
            if (ui.Check_SendAtEnd->isChecked())
                errors << "Send Command at end ... can not be selected when no GPIB address is "
                          "defined ";
            if (!ui.Check_EndSeq->isChecked())
                errors << "End Measurement Sequence ... must be selected when no GPIB address "
                          "is defined ";
        } else if (ui.Text_Command->text().isEmpty()) {
            errors << "GPIB command not defined";
        }
        if (!errors.isEmpty()) {
            const Answer a = platform::MsgBox(
                "Conditional Command Error",
                "The following parameter error(s) have been found:\n\n" + errors.join('\n') +
                    "\n\nIf you proceed Conditional Command will be set to OFF.\n"
                    "Do you want to Continue ?",
                Buttons::YesNo, Icon::Critical, Answer::Yes);
            if (a != Answer::Yes) return;
            ui.Check_CondOn->setChecked(false);
        }
    }

    const QString stored = settings_.condCommand().ConditionStatusWord;
    settings_.setCondCommand({MergeStatusWord(stored, LoadedWord, WriteStatusWord(Controls())),
                              {Text_Target[0]->text(), Text_Target[1]->text()},
                              ui.Text_Command->text()});
    accept();
}

void CondForm::Button_Cancel_Click() {
    reject();
}
