#include "bus/SimInstrument.h"
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <algorithm>
#include <cmath>

// Bench file format:
//   { "timeout_scale": 0.01, "journal": "/path/journal.txt",
//     "instruments": [ { "address": 3, "status": "ieee488.2" | "serial-poll",
//                        "terminator": "\n", "delay_ms": 0,
//                        "replies": { "CMD?": "answer" | ["a", "b"] | null |
//                                     { "answer": ..., "delay_ms": n } | { "write_error": n } },
//                        "accepts": ["OUT ON", "VSET *"] } ] }
// Unknown keys and wrong types are rejected rather than ignored, so that a typing error in
// a bench shows up as a message instead of as a puzzling test result.

namespace gpib {

namespace {

using Impl = SimBus::Impl;

class BenchReader {
public:
    explicit BenchReader(Impl& bench) : bench_(bench) {}

    QString read(const QJsonObject& root) {
        for (auto it = root.begin(); it != root.end(); ++it) {
            const QString key = it.key();
            const QJsonValue v = it.value();
            if (key == "timeout_scale") {
                if (!v.isDouble()) return "timeout_scale is not a number";
                if (v.toDouble() < 0) return "timeout_scale is negative";
                bench_.timeoutScale = v.toDouble();
            } else if (key == "journal") {
                if (!v.isString()) return "journal is not a string";
                bench_.journalPath = v.toString();
            } else if (key == "instruments") {
                if (!v.isArray()) return "instruments is not a list";
                const QJsonArray list = v.toArray();
                for (qsizetype i = 0; i < list.size(); ++i) {
                    const QString where = QString("instrument %1").arg(i + 1);
                    if (!list.at(i).isObject()) return where + " is not an object";
                    const QString error = instrument(list.at(i).toObject(), where);
                    if (!error.isEmpty()) return error;
                }
            } else {
                return QString("unknown key \"%1\"").arg(key);
            }
        }
        std::sort(bench_.instruments.begin(), bench_.instruments.end(),
                  [](const auto& a, const auto& b) { return a.address < b.address; });
        return {};
    }

private:
    // Bench texts are bytes: a character beyond Latin-1 has no byte to stand for it.
    static bool Bytes(const QJsonValue& v, QByteArray* out) {
        if (!v.isString()) return false;
        const QString s = v.toString();
        for (QChar c : s)
            if (c.unicode() > 0xFF) return false;
        *out = s.toLatin1();
        return true;
    }

    static bool Milliseconds(const QJsonValue& v, int* out) {
        if (!v.isDouble() || v.toDouble() < 0 || v.toDouble() > 3600e3) return false;
        *out = static_cast<int>(std::lround(v.toDouble()));
        return true;
    }

    static bool WholeNumber(const QJsonValue& v, int* out) {
        if (!v.isDouble()) return false;
        const double d = v.toDouble();
        if (d != std::floor(d) || std::abs(d) > 1e9) return false;
        *out = static_cast<int>(d);
        return true;
    }

    QString instrument(const QJsonObject& o, const QString& where) {
        Impl::Instrument in;
        if (!o.contains("address")) return where + " has no address";
        if (!WholeNumber(o.value("address"), &in.address))
            return where + ": address is not a whole number";
        if (in.address < 1 || in.address > 30)
            return where + QString(": address %1 is outside 1..30").arg(in.address);
        if (bench_.at(in.address))
            return where + QString(": address %1 is used twice").arg(in.address);
        for (auto it = o.begin(); it != o.end(); ++it) {
            const QString key = it.key();
            const QJsonValue v = it.value();
            QString error;
            if (key == "address") {
                continue;
            } else if (key == "status") {
                if (!v.isString())
                    error = "status is not a string";
                else if (v.toString() == "ieee488.2")
                    in.model = Impl::Model::Ieee4882;
                else if (v.toString() == "serial-poll")
                    in.model = Impl::Model::SerialPoll;
                else
                    error = QString("unknown status model \"%1\"").arg(v.toString());
            } else if (key == "terminator") {
                if (!Bytes(v, &in.terminator)) error = "terminator is not a byte string";
            } else if (key == "delay_ms") {
                if (!Milliseconds(v, &in.delayMs)) error = "delay_ms is not a number of ms";
            } else if (key == "replies") {
                error = replies(v, &in);
            } else if (key == "accepts") {
                error = accepts(v, &in);
            } else {
                error = QString("unknown key \"%1\"").arg(key);
            }
            if (!error.isEmpty()) return where + ": " + error;
        }
        bench_.instruments.push_back(std::move(in));
        return {};
    }

    static QString replies(const QJsonValue& v, Impl::Instrument* in) {
        if (!v.isObject()) return "replies is not an object";
        const QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            QByteArray command;
            if (!Bytes(QJsonValue(it.key()), &command))
                return QString("reply \"%1\": the command is not a byte string").arg(it.key());
            const QString where = QString("reply \"%1\"").arg(it.key());
            Impl::Reply r;
            QString error = reply(it.value(), &r);
            if (!error.isEmpty()) return where + error;
            const QByteArray key = SimNormalised(command);
            if (in->replies.count(key)) return where + " is given twice";
            in->replies.emplace(key, std::move(r));
        }
        return {};
    }

    // The answer part of a reply: text, a list of texts or null (silent).
    static QString answers(const QJsonValue& v, Impl::Reply* r) {
        if (v.isNull()) return {};
        QByteArray text;
        if (Bytes(v, &text)) {
            r->answers = {text};
            return {};
        }
        if (v.isString()) return " is not a byte string";
        if (!v.isArray()) return " is not a string, list, object or null";
        const QJsonArray list = v.toArray();
        if (list.isEmpty()) return " is an empty list";
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (!Bytes(list.at(i), &text))
                return QString(": list entry %1 is not a byte string").arg(i + 1);
            r->answers.append(text);
        }
        return {};
    }

    static QString reply(const QJsonValue& v, Impl::Reply* r) {
        if (!v.isObject()) return answers(v, r);
        const QJsonObject o = v.toObject();
        if (o.contains("write_error") && o.contains("answer"))
            return " has both answer and write_error";
        if (!o.contains("write_error") && !o.contains("answer"))
            return " has neither answer nor write_error";
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (it.key() == "answer") {
                const QString error = answers(it.value(), r);
                if (!error.isEmpty()) return ": answer" + error;
            } else if (it.key() == "delay_ms") {
                int ms = 0;
                if (!Milliseconds(it.value(), &ms)) return ": delay_ms is not a number of ms";
                r->delayMs = ms;
            } else if (it.key() == "write_error") {
                int code = 0;
                if (!WholeNumber(it.value(), &code) || code < 0 || code > 255)
                    return ": write_error is not an error code";
                r->writeError = code;
            } else {
                return QString(": unknown key \"%1\"").arg(it.key());
            }
        }
        return {};
    }

    static QString accepts(const QJsonValue& v, Impl::Instrument* in) {
        if (!v.isArray()) return "accepts is not a list";
        const QJsonArray list = v.toArray();
        for (qsizetype i = 0; i < list.size(); ++i) {
            QByteArray command;
            if (!Bytes(list.at(i), &command))
                return QString("accepts entry %1 is not a byte string").arg(i + 1);
            in->accepts.append(SimNormalised(command));
        }
        return {};
    }

    Impl& bench_;
};

int LineOf(const QByteArray& text, int offset) {
    return static_cast<int>(text.left(offset).count('\n')) + 1;
}

} // namespace

std::unique_ptr<SimBus> SimBus::fromJson(const QByteArray& json, QString* error) {
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    QString message;
    if (parse.error != QJsonParseError::NoError)
        message = QString("line %1: %2").arg(LineOf(json, parse.offset)).arg(parse.errorString());
    else if (!doc.isObject())
        message = "the bench is not a JSON object";
    std::unique_ptr<SimBus> bus(new SimBus);
    if (message.isEmpty()) message = BenchReader(*bus->d).read(doc.object());
    if (message.isEmpty()) return bus;
    if (error) *error = message;
    return nullptr;
}

std::unique_ptr<SimBus> SimBus::fromFile(const QString& path, QString* error) {
    const QString prefix = QString("Bench file %1: ").arg(path);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = prefix + "cannot be read (" + f.errorString() + ")";
        return nullptr;
    }
    QString message;
    auto bus = fromJson(f.readAll(), &message);
    if (!bus && error) *error = prefix + message;
    return bus;
}

} // namespace gpib
