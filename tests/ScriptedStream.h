#pragma once
// The adapter client without an adapter: what the adapter says comes from a script of timed
// pieces, and time moves only when the client waits in silence or pauses, so that deadlines
// of seconds cost no real time (tests and fuzzing).
#include "bus/ByteStream.h"
#include <algorithm>
#include <deque>

class ScriptedClock : public gpib::AdapterClock {
public:
    qint64 nowMs() override { return now; }
    void sleepMs(int ms) override { now += std::max(ms, 0); }
    qint64 now = 0;
};

class ScriptedStream : public gpib::ByteStream {
public:
    explicit ScriptedStream(ScriptedClock& clock) : clock_(clock) {}

    // The adapter says the bytes at that time (not before anything said earlier).
    void say(qint64 atMs, const QByteArray& bytes) {
        if (!said_.empty()) atMs = std::max(atMs, said_.back().at);
        said_.push_back({atMs, bytes});
    }
    // The adapter says the bytes that long after the next ++read, as an instrument answers.
    void answer(qint64 afterMs, const QByteArray& bytes) { answer_.push_back({afterMs, bytes}); }

    // When set, the adapter answers every ++ver with it, once it has said what came before.
    // The question for its eot byte it always answers: 4.
    QByteArray version;

    // An adapter unplugged cannot be opened; one that goes away breaks its stream.
    bool plugged = true;
    bool gone = false;

    bool open(QString*) override { return plugged; }
    Sent write(const QByteArray& bytes, int) override {
        if (bytes.startsWith("++read")) {
            for (const Piece& p : answer_)
                say(clock_.now + p.at, p.bytes);
            answer_.clear();
        }
        if (bytes == "++ver\n" && !version.isEmpty()) say(clock_.now, version + "\r\n");
        if (bytes == "++eot_char\n") say(clock_.now, "4\r\n");
        return Sent::All;
    }
    QByteArray read(int timeoutMs) override {
        const qint64 wait = std::max(timeoutMs, 0);
        if (said_.empty() || said_.front().at > clock_.now + wait) {
            clock_.now += wait;
            return {};
        }
        clock_.now = std::max(clock_.now, said_.front().at);
        const QByteArray bytes = said_.front().bytes;
        said_.pop_front();
        return bytes;
    }
    bool broken() const override { return gone; }

private:
    struct Piece {
        qint64 at;
        QByteArray bytes;
    };
    ScriptedClock& clock_;
    std::deque<Piece> said_;
    std::deque<Piece> answer_;
};
