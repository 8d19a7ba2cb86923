#include "series/csvrecords.h"

namespace {

const QChar Quote = QLatin1Char('"');
const QChar LineEnd = QLatin1Char('\n');
const QChar CarriageReturn = QLatin1Char('\r');

class CsvReader
{
public:
    CsvReader(const QString &text, QChar separator) : text(text), separator(separator) {}

    std::optional<std::vector<QStringList>> records()
    {
        std::vector<QStringList> read;
        while (at < text.size()) {
            std::optional<QStringList> record = nextRecord();
            if (!record)
                return std::nullopt;
            read.push_back(*record);
        }
        return read;
    }

private:
    // One record, its line end consumed.
    std::optional<QStringList> nextRecord()
    {
        QStringList fields;
        for (;;) {
            std::optional<QString> field = atQuote() ? quotedField() : bareField();
            if (!field || at >= text.size())
                return std::nullopt;
            fields << *field;
            if (atCrLf())
                ++at;
            const QChar after = text[at++];
            if (after == LineEnd)
                return fields;
            if (after != separator)
                return std::nullopt;
        }
    }

    bool atQuote() const { return at < text.size() && text[at] == Quote; }
    bool atCrLf() const
    {
        return at + 1 < text.size() && text[at] == CarriageReturn && text[at + 1] == LineEnd;
    }

    std::optional<QString> bareField()
    {
        QString field;
        while (at < text.size() && text[at] != separator && text[at] != LineEnd) {
            if (atCrLf())
                break;
            if (text[at] == Quote || text[at] == CarriageReturn)
                return std::nullopt;
            field += text[at++];
        }
        return field;
    }

    std::optional<QString> quotedField()
    {
        QString field;
        ++at;
        while (at < text.size()) {
            const QChar c = text[at++];
            if (c != Quote) {
                field += c;
                continue;
            }
            if (!atQuote())
                return field;
            field += Quote;
            ++at;
        }
        return std::nullopt; // unterminated
    }

    const QString &text;
    const QChar separator;
    int at = 0;
};

} // namespace

std::optional<std::vector<QStringList>> readStrictCsv(const QString &text, QChar separator)
{
    return CsvReader(text, separator).records();
}
