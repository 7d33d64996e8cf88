// A run of the real main window in a process of its own, for a test that kills it midway.
// The sequor program takes no script that starts a run, so this probe drives the same window
// from the same library: the built-in simulated bench, every x-axis column, interval 1 s,
// 100 sequences. It prints the decimal separator first, then every row the window reports as
// logged, hex-encoded, one per line and flushed at once, so the test knows what must already
// be on disk.
//
// Usage: helper_runprobe <folder> <file name>
#include "app/MainForm.h"
#include "bus/GpibDriver.h"
#include "measure/Processing.h"
#include "ui_MainForm.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString error;
    std::unique_ptr<gpib::Driver> driver = gpib::CreateDriverFromEnvironment(&error);
    if (argc < 3 || !driver) {
        std::fprintf(stderr, "usage: helper_runprobe <folder> <file name>\n%s\n",
                     qPrintable(error));
        return 2;
    }
    gpib::SetBus(driver.get());

    MainForm form;
    form.SplashSeconds = 0;
    form.Form_Load();
    form.Form_Activate();
    form.ui->Text_Path->setText(QString::fromLocal8Bit(argv[1]));
    form.ui->Text_FileName->setText(QString::fromLocal8Bit(argv[2]));
    for (QCheckBox* box : form.Check_Log)
        box->setChecked(true);
    // The built-in bench's multimeter.
    form.Option_ID[2]->setChecked(true);
    form.Option_ID_Click(2);
    form.ui->Combo_Addr->setCurrentText("3");
    form.Button_Connect_Click();
    form.ui->Text_MeasQuery->setText("MEAS?");
    form.Text_Time[0]->setText("1");
    form.Text_Time[1]->setText("100");
    form.Button_ApplyTime_Click();
    if (!form.Connected || !form.TimeApplied) {
        std::fprintf(stderr, "not ready to run\n");
        return 2;
    }

    std::printf("%s\n", qPrintable(DecimalSeparator));
    std::fflush(stdout);
    QObject::connect(&form, &MainForm::rowLogged, [](const QByteArray& row) {
        std::printf("%s\n", row.toHex().constData());
        std::fflush(stdout);
    });
    form.Button_Start_Click();
    gpib::SetBus(nullptr);
    return 0;
}
