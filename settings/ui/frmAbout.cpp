#include "settings/ui/frmAbout.h"
#include "platform/Platform.h"
#include "widgets/ControlEvents.h"
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStandardPaths>
#include <iterator>

namespace {

const QString ProgramTitle = QStringLiteral("Sequor");

// No public page or mailbox is kept for the program; empty links stay inert.
const QString WebsiteAddress;
const QString EmailAddress;

const QStringList DescriptionLines = {
    QStringLiteral("This software lets you save a sequence of"),
    QStringLiteral("measurements done by a selected instrument."),
    QStringLiteral("via GPIB. The result is saved in a semicolon delimited"),
    QStringLiteral("text file (*.csv) which can be opened by MS Excel."),
    QStringLiteral("Instrument, type of measurement, number of"),
    QStringLiteral("measurements are uniquely defined."),
    QStringLiteral("New in version 1.3 is the possibility to send a"),
    QStringLiteral("command to a second device if a specified"),
    QStringLiteral("measurement condition occurs."),
};

const QString Disclaimer =
    QStringLiteral("Written by the Sequor developers, Sequor project, July 2009 rev. March 2023. "
                   "Comments and error reports are welcome by e-mail.");

// A measurement trace on a dark plate: enough to tell the program's windows apart.
QPixmap ProgramIcon() {
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0x4a, 0x87));
    p.drawRoundedRect(QRectF(2, 2, 44, 44), 8, 8);
    p.setPen(QPen(QColor(0xd0, 0xd8, 0xe8), 1));
    p.drawLine(8, 38, 40, 38);
    p.drawLine(8, 10, 8, 38);
    const QPointF points[] = {{10, 32}, {16, 26}, {22, 29}, {28, 18}, {34, 21}, {40, 12}};
    p.setPen(QPen(QColor(0xf5, 0xc2, 0x11), 2.5));
    p.drawPolyline(points, int(std::size(points)));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (const QPointF& pt : points)
        p.drawEllipse(pt, 2, 2);
    return pixmap;
}

void MakeLink(QLabel* label) {
    if (label->text().isEmpty()) return;
    QFont f = label->font();
    f.setUnderline(true);
    label->setFont(f);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, pal.color(QPalette::Link));
    label->setPalette(pal);
    label->setCursor(Qt::PointingHandCursor);
}

} // namespace

QString MailLink(const QString& emailAddress, const QString& subject, const QString& body) {
    QString link = emailAddress;
    if (!link.toLower().startsWith(QStringLiteral("mailto:")))
        link.prepend(QStringLiteral("mailto:"));
    if (!subject.isEmpty()) link += QStringLiteral("?subject=") + subject;
    if (!body.isEmpty())
        link += (subject.isEmpty() ? QStringLiteral("?") : QStringLiteral("&")) +
                QStringLiteral("body=") + body;
    return link;
}

QStringList SysInfoPrograms() {
    return {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
            QStringLiteral("gnome-system-monitor")};
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    ui.setupUi(this);
    ConnectHandlers();
    Form_Load();
}

frmAbout* frmAbout::ShowModeless(QWidget* parent) {
    auto* box = new frmAbout(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    return box;
}

void frmAbout::ConnectHandlers() {
    connect(ui.cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(ui.cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    // Labels have no click signal of their own.
    ctl::Attach(ui.lblWebsite, {.click = [this] { lblWebsite_Click(); }});
    ctl::Attach(ui.lblEmail, {.click = [this] { lblEmail_Click(); }});
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + ProgramTitle);
    ui.lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                               .arg(SEQUOR_VERSION_MAJOR)
                               .arg(SEQUOR_VERSION_MINOR)
                               .arg(SEQUOR_VERSION_PATCH));
    ui.lblTitle->setText(ProgramTitle);
    ui.lblDescription->setText(DescriptionLines.join(QLatin1Char('\n')));
    ui.lblDisclaimer->setText(Disclaimer);
    ui.lblWebsite->setText(WebsiteAddress);
    ui.lblEmail->setText(EmailAddress);
    MakeLink(ui.lblWebsite);
    MakeLink(ui.lblEmail);
    ui.picIcon->setPixmap(ProgramIcon());
    setWindowIcon(QIcon(ProgramIcon()));
}

void frmAbout::cmdOK_Click() {
    close();
}

void frmAbout::cmdSysInfo_Click() {
    StartSysInfo();
}

void frmAbout::lblWebsite_Click() {
    const QString page = ui.lblWebsite->text();
    if (!page.isEmpty()) platform::Sys().openDocument(page);
}

void frmAbout::lblEmail_Click() {
    const QString address = ui.lblEmail->text();
    if (!address.isEmpty()) OpenEmail(address, ProgramTitle);
}

bool frmAbout::OpenEmail(const QString& emailAddress, const QString& subject, const QString& body) {
    return platform::Sys().openDocument(MailLink(emailAddress, subject, body));
}

void frmAbout::StartSysInfo() {
    for (const QString& name : SysInfoPrograms()) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty() && platform::Sys().startProgram(path, {}).isEmpty()) return;
    }
    platform::MsgBox(ProgramTitle, QStringLiteral("System Information Is Unavailable At This Time"),
                     platform::Buttons::Ok, platform::Icon::None);
}
