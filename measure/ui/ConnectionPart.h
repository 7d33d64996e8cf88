#pragma once
// The main window's connection frame: the measuring instrument found by its identification
// answer or chosen by address, and the measurement query. What it decides is in Connection.h.
#include <QObject>
#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;
struct MainFormProbe;
namespace bus {
class Instrument;
class Listeners;
class Session;
} // namespace bus
namespace settings {
class Settings;
}

class ConnectionPart : public QObject {
    Q_OBJECT

public:
    struct Parts {
        QWidget* window;
        QGroupBox* Frame1;
        std::array<QRadioButton*, 3> Option_ID;
        QComboBox* Combo_Addr;
        QLineEdit* Text_DeviceID;
        QLabel* Label10;
        QLineEdit* Text_IDResponse;
        QLabel* Label5;
        QPushButton* Button_Connect;
        QLineEdit* Text_MeasQuery;
        QPushButton* Button_Test;
        bus::Session* session;
        bus::Instrument* instrument;
        const bus::Listeners* listeners;
        settings::Settings* settings;
        const bool* activated; // the window's first activation has finished
    };
    explicit ConnectionPart(const Parts& parts);
    void ConnectHandlers();

    // The address list of the listeners found at start-up.
    void FillAddresses();
    bool connected() const { return connection.Connected; }
    // Handlers the settings sets run as a click would.
    void Option_ID_Click(int index);
    void Combo_Addr_Click();
    void Button_Connect_Click();

signals:
    // Connected, or the query, changed: Start may change.
    void startStateChanged();

private:
    friend struct MainFormProbe;
    Parts c;
    struct ConnectionState {
        bool Connected = false;
        int LastIdOption = 0;
    } connection;

    void Text_DeviceID_Change();
    void Text_DeviceID_DblClick();
    void Text_DeviceID_KeyPress(int& keyAscii);
    void Text_MeasQuery_Change();
    void Text_MeasQuery_DblClick();
    void Text_MeasQuery_KeyPress(int& keyAscii);
    void Button_Test_Click();
    void DropConnection();
};
