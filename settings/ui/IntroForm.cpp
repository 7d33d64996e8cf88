#include "settings/ui/IntroForm.h"
#include "widgets/ControlEvents.h"
#include <QApplication>
#include <QMouseEvent>
#include <QTimer>

namespace {
constexpr int TwipsPerInch = 1440;
constexpr int LabelMarginTwips = 600; // window width beyond the label's own

int twipsToPixels(int twips, int dpi) {
    return (twips * dpi + TwipsPerInch / 2) / TwipsPerInch;
}
} // namespace

QString IntroText(const QString& appTitle, const QString& appVersion, const QString& versionDate) {
    QString text = appTitle;
    if (!appVersion.isEmpty()) text += QStringLiteral(", v") + appVersion;
    if (!versionDate.isEmpty()) text += QStringLiteral(" / ") + versionDate;
    return text;
}

void Intro(int seconds, const QString& appTitle, const QString& appVersion,
           const QString& versionDate) {
    if (seconds <= 0 || appTitle.isEmpty()) return;
    IntroForm form(QApplication::activeWindow());
    form.Prepare(IntroText(appTitle, appVersion, versionDate), seconds);
    form.exec();
}

IntroForm::IntroForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), Timer1(new QTimer(this)) {
    ui.setupUi(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    ConnectHandlers();
}

void IntroForm::ConnectHandlers() {
    connect(Timer1, &QTimer::timeout, this, &IntroForm::Timer1_Timer);
    // A label has no click signal of its own.
    ctl::Attach(ui.Label1, {.click = [this] { Label1_Click(); }});
}

void IntroForm::Prepare(const QString& text, int seconds) {
    Timer1->setInterval(seconds * 1000);
    ui.Label1->setText(text);
    ui.Label1->adjustSize();
    const int margin = twipsToPixels(LabelMarginTwips, logicalDpiX());
    const int height = ui.Label1->height() + 2 * ui.Label1->y();
    ui.Label1->move(margin / 2, ui.Label1->y());
    setFixedSize(ui.Label1->width() + margin, height);
}

void IntroForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The time counts from activation, not from construction.
    QMetaObject::invokeMethod(this, &IntroForm::Form_Activate, Qt::QueuedConnection);
}

void IntroForm::Form_Activate() {
    if (!isVisible()) return;
    QCoreApplication::processEvents();
    if (isVisible()) Timer1->start();
}

void IntroForm::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Form_Click();
    QDialog::mouseReleaseEvent(event);
}

void IntroForm::Timer1_Timer() {
    Dismiss();
}

void IntroForm::Form_Click() {
    Dismiss();
}

void IntroForm::Label1_Click() {
    Dismiss();
}

void IntroForm::Dismiss() {
    Timer1->stop();
    close();
}
