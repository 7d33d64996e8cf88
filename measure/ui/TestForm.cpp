#include "measure/ui/TestForm.h"
#include "bus/Instrument.h"
#include "common/Texts.h"
#include "measure/TestQuery.h"
#include "platform/Platform.h"
#include "ui_TestForm.h"
#include "widgets/BusErrorBoxes.h"
#include "widgets/BusGate.h"
#include "widgets/ControlEvents.h"
#include "widgets/TwipsLayout.h"
#include <QShowEvent>

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {
// The design's client area, 6180 x 2595 twips, at 15 twips per pixel.
const QSize DesignClient(412, 173);

bool OnlySpaces(const QString& text) {
    for (QChar c : text)
        if (c != QLatin1Char(' ')) return false;
    return true;
}

const QString HelpText =
    QStringLiteral("1: Select part of the Query response and click Add. The exact character(s) "
                   "will be excluded.\n"
                   "\n"
                   "\n"
                   "Wildcards (X is the character or string to be removed.):\n"
                   "\n"
                   "2: *X or X*,   * indicates that X and all text before or after X will be "
                   "removed. Only one is allowed.\n"
                   "\n"
                   "3: ?X or X?,   ? indicates that X and one character before or after X will "
                   "be removed.\n"
                   "    Any number of ? is allowed, both before or after X but it/they must be "
                   "next to X.\n"
                   "\n"
                   "   * and ? can not be used together in the same exclude string.");
} // namespace

TestForm::TestForm(MainBoxes main, settings::Settings& settings, const bus::Instrument& instrument,
                   QWidget* parent)
    : QDialog(parent), ui(new Ui::TestForm), main_(main), settings_(settings),
      instrument_(instrument) {
    ui->setupUi(this);
    Button_Add = {ui->Button_Add_0, ui->Button_Add_1};
    Text_Exclude = {ui->Text_Exclude_0, ui->Text_Exclude_1};
    Button_Clear = {ui->Button_Clear_0, ui->Button_Clear_1};
    twips::Place(this, DesignClient, twips::FitScale(this));
    ConnectHandlers();
}

TestForm::~TestForm() = default;

void TestForm::ConnectHandlers() {
    connect(ui->Button_Refresh, &QPushButton::clicked, this, &TestForm::Button_Refresh_Click);
    connect(ui->Button_Info, &QPushButton::clicked, this, &TestForm::Button_Info_Click);
    connect(ui->Button_OK, &QPushButton::clicked, this, &TestForm::Button_OK_Click);
    connect(ui->Button_Cancel, &QPushButton::clicked, this, &TestForm::Button_Cancel_Click);
    connect(ui->Check_SciToDec, &QCheckBox::clicked, this, &TestForm::Check_SciToDec_Click);
    connect(ui->Text_MeasQuery, &QLineEdit::textChanged, this, &TestForm::Text_MeasQuery_Change);
    connect(ui->Text_Response, &QLineEdit::selectionChanged, this,
            &TestForm::Text_Response_SelectionChange);
    ctl::Handlers query;
    query.keyPress = [this](int& k) { Text_MeasQuery_KeyPress(k); };
    query.dblClick = [this] { Text_MeasQuery_DblClick(); };
    ctl::Attach(ui->Text_MeasQuery, query);
    for (int i = 0; i < 2; ++i) {
        connect(Button_Add[i], &QPushButton::clicked, this, [this, i] { Button_Add_Click(i); });
        connect(Button_Clear[i], &QPushButton::clicked, this, [this, i] { Button_Clear_Click(i); });
        connect(Text_Exclude[i], &QLineEdit::textChanged, this,
                [this, i] { Text_Exclude_Change(i); });
        ctl::Handlers exclude;
        exclude.dblClick = [this, i] { Text_Exclude_DblClick(i); };
        ctl::Attach(Text_Exclude[i], exclude);
    }
    // Everything that asks the instrument again waits while it is being asked.
    ctl::RefuseDuringBus(instrument_.activity(), this,
                         {ui->Text_MeasQuery, Text_Exclude[0], Text_Exclude[1], Button_Add[0],
                          Button_Add[1], Button_Clear[0], Button_Clear[1], ui->Check_SciToDec,
                          ui->Button_Refresh});
}

void TestForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Activation asks the instrument and may show a box: run it once the window is up.
    if (!event->spontaneous())
        QMetaObject::invokeMethod(this, &TestForm::Form_Activate, Qt::QueuedConnection);
}

void TestForm::Form_Activate() {
    Loading = true;
    ui->Text_MeasQuery->setText(main_.measQuery->text());
    const MeasurementSettings& stored = settings_.measurement();
    const std::array<const QByteArray*, 2> excludes = {&stored.Exclude1, &stored.Exclude2};
    for (int i = 0; i < 2; ++i) {
        Text_Exclude[i]->setText(QString::fromLatin1(*excludes[i]));
        if (excludes[i]->isEmpty()) Button_Clear[i]->setEnabled(false);
    }
    ui->Check_SciToDec->setChecked(stored.DecNotation);
    ui->Button_OK->setEnabled(false);
    Button_Refresh_Click();
    const bool otherInstrument =
        stored.DeviceID != main_.deviceId->text() || stored.MeasQuery != main_.measQuery->text();
    if (otherInstrument && (!stored.Exclude1.isEmpty() || !stored.Exclude2.isEmpty())) {
        if (platform::MsgBox("Measurement Query and Exclusions mismatch",
                             "Device and/or Measurement Query has changed.\n\n"
                             "Do you want to clear the Exclusions ?",
                             Buttons::YesNo, Icon::Question, Answer::Yes) == Answer::Yes) {
            Text_Exclude[0]->clear();
            Text_Exclude[1]->clear();
            ui->Button_OK->setEnabled(true);
        }
    }
    Loading = false;
}

void TestForm::Button_Refresh_Click() {
    const QByteArray answer =
        ctl::AnswerOf(instrument_.query(ui->Text_MeasQuery->text().toLatin1()));
    const QByteArray exclude1 = Text_Exclude[0]->text().toLatin1();
    const QByteArray exclude2 = Text_Exclude[1]->text().toLatin1();
    const bool toDecimal = ui->Check_SciToDec->isChecked();
    const QByteArray shown = TestAnswer(answer, exclude1, exclude2, toDecimal);
    ui->Text_Response->setText(QString::fromLatin1(shown));
    selectionStart_ = -1;

    if (!exclude1.isEmpty() && exclude2.isEmpty())
        Text_Exclude[1]->setFocus();
    else if (exclude1.isEmpty())
        Text_Exclude[0]->setFocus();
    else
        ui->Text_MeasQuery->setFocus();

    if (ConversionHidesAnswer(shown, exclude1, exclude2, toDecimal)) {
        ui->Check_SciToDec->setChecked(false);
        // Outside the opening this is a change the user may want to keep.
        if (!Loading) ui->Button_OK->setEnabled(true);
        Button_Refresh_Click();
    }
}

void TestForm::Text_Response_SelectionChange() {
    const QLineEdit* box = ui->Text_Response;
    if (box->hasSelectedText()) {
        selectionStart_ = box->selectionStart();
        selectionLength_ = int(box->selectedText().size());
    } else if (box->hasFocus()) {
        selectionStart_ = -1; // the user took the selection away
    }
}

void TestForm::Button_Add_Click(int index) {
    if (OnlySpaces(ui->Text_MeasQuery->text())) {
        platform::MsgBox("Info",
                         "Measurement Query can't be empty.\n"
                         "Enter a valid query then click Refresh to see the result.",
                         Buttons::Ok, Icon::Information);
        ui->Text_MeasQuery->setFocus();
        return;
    }
    const QString selected = selectionStart_ < 0
                                 ? QString()
                                 : ui->Text_Response->text().mid(selectionStart_, selectionLength_);
    if (selected.isEmpty()) {
        platform::MsgBox("Info",
                         "Select the part of Query Response that you want to exclude.\n"
                         "Then first click Add and then Refresh to see the result.",
                         Buttons::Ok, Icon::Information);
        ui->Text_Response->setFocus();
        return;
    }
    Text_Exclude[index]->setText(selected);
    Button_Refresh_Click();
}

void TestForm::Button_Clear_Click(int index) {
    Text_Exclude[index]->clear();
    Button_Refresh_Click();
}

void TestForm::Text_Exclude_DblClick(int index) {
    Button_Clear_Click(index);
}

void TestForm::Text_Exclude_Change(int index) {
    if (Loading) return;
    Button_Clear[index]->setEnabled(!Text_Exclude[index]->text().isEmpty());
    ui->Button_OK->setEnabled(true);
}

void TestForm::Text_MeasQuery_Change() {
    if (Loading) return;
    const bool any = !ui->Text_MeasQuery->text().isEmpty();
    ui->Button_Refresh->setEnabled(any);
    ui->Button_OK->setEnabled(any);
    ui->Text_Response->clear();
    selectionStart_ = -1;
}

void TestForm::Text_MeasQuery_KeyPress(int& keyAscii) {
    if (keyAscii == 13) {
        keyAscii = 0;
        // As the Refresh button: nothing to ask while the query is empty.
        if (ui->Button_Refresh->isEnabled()) Button_Refresh_Click();
    } else if (keyAscii >= 'a' && keyAscii <= 'z') {
        keyAscii -= 'a' - 'A';
    }
}

void TestForm::Text_MeasQuery_DblClick() {
    ui->Text_MeasQuery->clear();
}

void TestForm::Check_SciToDec_Click() {
    if (Loading) return;
    ui->Button_OK->setEnabled(true);
    Button_Refresh_Click();
}

void TestForm::Button_Info_Click() {
    platform::MsgBox("Ways to Exclude part of the response.", HelpText, Buttons::Ok,
                     Icon::Information);
}

void TestForm::Button_OK_Click() {
    // A character no answer can hold would become a "?" wildcard.
    for (int i = 0; i < 2; ++i) {
        const QString beyond = FirstBeyondLatin1(Text_Exclude[i]->text());
        if (beyond.isEmpty()) continue;
        platform::MsgBox("Invalid Character",
                         QStringLiteral("Exclude %1 holds the character %2, which no answer on "
                                        "the bus can hold.\n")
                                 .arg(i + 1)
                                 .arg(beyond) +
                             Latin1Only,
                         Buttons::Ok, Icon::Warning);
        Text_Exclude[i]->setFocus();
        return;
    }
    MeasurementSettings m = settings_.measurement();
    m.Exclude1 = Text_Exclude[0]->text().toLatin1();
    m.Exclude2 = Text_Exclude[1]->text().toLatin1();
    m.MeasQuery = ui->Text_MeasQuery->text();
    main_.measQuery->setText(m.MeasQuery);
    m.DecNotation = ui->Check_SciToDec->isChecked();
    settings_.setMeasurement(m);
    settings_.markChanged(); // OK is an edit, even when nothing differs
    accept();
}

void TestForm::Button_Cancel_Click() {
    reject();
}
