#include "config/jsonkeys.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <algorithm>

#include <vector>

namespace {

constexpr char Quote = '"';
constexpr char Escape = '\\';

// One open object or array, and the keys the object has had so far.
struct Level {
    bool object = false;
    bool expectingKey = false;
    QSet<QString> keys;
};

// A string's text with its escapes resolved, as the parser will read it.
QString keyText(const QByteArray &quoted)
{
    const QJsonDocument document = QJsonDocument::fromJson('[' + quoted + ']');
    return document.isArray() ? document.array().first().toString()
                              : QString::fromUtf8(quoted);
}

// The string that starts at json[at], quotes included; `at` moves past it.
QByteArray takeString(const QByteArray &json, int &at)
{
    const int start = at++;
    while (at < json.size() && json[at] != Quote)
        at += json[at] == Escape ? 2 : 1;
    at = std::min(at + 1, static_cast<int>(json.size()));
    return json.mid(start, at - start);
}

} // namespace

std::optional<QString> firstRepeatedKey(const QByteArray &json)
{
    std::vector<Level> open;
    int at = 0;
    while (at < json.size()) {
        const char c = json[at];
        if (c == Quote) {
            const QByteArray quoted = takeString(json, at);
            if (open.empty() || !open.back().object || !open.back().expectingKey)
                continue;
            const QString key = keyText(quoted);
            if (open.back().keys.contains(key))
                return key;
            open.back().keys.insert(key);
            open.back().expectingKey = false;
            continue;
        }
        if (c == '{' || c == '[')
            open.push_back({c == '{', c == '{', {}});
        else if ((c == '}' || c == ']') && !open.empty())
            open.pop_back();
        else if (c == ',' && !open.empty())
            open.back().expectingKey = open.back().object;
        ++at;
    }
    return std::nullopt;
}
