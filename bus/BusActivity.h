#pragma once
// Whether a bus transaction started on the window thread is under way: a driver call, or an
// operation of several calls that must reach its end on the instrument it began with (a search,
// a sweep, a query with its pause). While one lasts, the windows refuse whatever would start
// other traffic or re-address the shared descriptor, and closing a window waits for it.
// The bus session (bus/Session.h) holds the one of the program's bus.
#include <QObject>

namespace gpib {

class BusActivity : public QObject {
    Q_OBJECT

public:
    bool busy() const { return depth_ > 0; }
    int depth() const { return depth_; }
    // A window is to close: an operation of several calls stops before its next step.
    void requestEnd();
    bool endRequested() const { return endRequested_; }

signals:
    // The first transaction began (true), or the last one ended (false).
    void busyChanged(bool busy);

private:
    friend class Transaction;
    int depth_ = 0;
    bool endRequested_ = false;
};

// One transaction, for the life of the object; nested ones count as one. Off the window thread
// it does nothing: the rule is about the windows' own calls.
class Transaction {
public:
    explicit Transaction(BusActivity& activity);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    BusActivity& activity_;
    bool counted_ = false;
};

} // namespace gpib
