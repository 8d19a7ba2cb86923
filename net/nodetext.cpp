#include "net/nodetext.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

constexpr unsigned char Utf8ContinuationMask = 0xC0;
constexpr unsigned char Utf8Continuation = 0x80;
constexpr uint Space = 0x20;

// A UTF-8 lead byte: the length of its sequence and the smallest and largest
// second byte it takes (which rules out overlong forms, surrogates and code
// points past U+10FFFF). Length 0: not a lead byte.
struct Utf8Lead {
    unsigned char from;
    unsigned char to;
    int length;
    unsigned char secondFrom;
    unsigned char secondTo;
};

constexpr Utf8Lead Utf8Leads[] = {
    {0x00, 0x7F, 1, 0x00, 0x00}, {0xC2, 0xDF, 2, 0x80, 0xBF}, {0xE0, 0xE0, 3, 0xA0, 0xBF},
    {0xE1, 0xEC, 3, 0x80, 0xBF}, {0xED, 0xED, 3, 0x80, 0x9F}, {0xEE, 0xEF, 3, 0x80, 0xBF},
    {0xF0, 0xF0, 4, 0x90, 0xBF}, {0xF1, 0xF3, 4, 0x80, 0xBF}, {0xF4, 0xF4, 4, 0x80, 0x8F},
};

const Utf8Lead *leadOf(unsigned char byte)
{
    for (const Utf8Lead &lead : Utf8Leads) {
        if (byte >= lead.from && byte <= lead.to)
            return &lead;
    }
    return nullptr;
}

bool isContinuation(unsigned char byte)
{
    return (byte & Utf8ContinuationMask) == Utf8Continuation;
}

// The bytes as UTF-8 without a sequence that the field's end cut short;
// -1 when they are not UTF-8.
int utf8Length(const QByteArray &bytes)
{
    const int size = static_cast<int>(bytes.size());
    int at = 0;
    while (at < size) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        const Utf8Lead *const lead = leadOf(byte);
        if (!lead)
            return -1;
        for (int next = 1; next < lead->length; ++next) {
            if (at + next == size)
                return at;
            const auto following = static_cast<unsigned char>(bytes[at + next]);
            const bool fits = next == 1 ? following >= lead->secondFrom && following <= lead->secondTo
                                        : isContinuation(following);
            if (!fits)
                return -1;
        }
        at += lead->length;
    }
    return size;
}

QString decoded(const QByteArray &bytes)
{
    const int utf8 = utf8Length(bytes);
    return utf8 < 0 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes.left(utf8));
}

bool isWhiteControl(uint character)
{
    return character == '\t' || character == '\n' || character == '\r' || character == '\v'
           || character == '\f';
}

bool isHidden(uint character)
{
    switch (QChar::category(character)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

} // namespace

QString shownText(const QByteArray &fromPacket)
{
    const QString text = decoded(fromPacket);
    QString shown;
    for (auto at = text.cbegin(); at != text.cend(); ++at) {
        const auto next = at + 1;
        if (at->isHighSurrogate() && next != text.cend() && next->isLowSurrogate()) {
            if (!isHidden(QChar::surrogateToUcs4(*at, *next)))
                shown.append(*at).append(*next);
            at = next;
        } else if (isWhiteControl(at->unicode())) {
            shown += QChar(Space);
        } else if (!isHidden(at->unicode())) {
            shown += *at;
        }
    }
    return shown;
}

QString shownShortName(const SeenNode &node)
{
    return shownText(node.reply.shortName);
}

QString shownLongName(const SeenNode &node)
{
    return shownText(node.reply.longName);
}

QString universesText(const std::vector<int> &portAddresses)
{
    QStringList parts;
    for (const int portAddress : portAddresses)
        parts << QStringLiteral("%1 [%2]").arg(portAddress).arg(ArtNet::portAddressText(portAddress));
    return parts.isEmpty() ? QCoreApplication::translate("NodeText", "aucun")
                           : parts.join(QStringLiteral(", "));
}

QString nodeLine(const SeenNode &node)
{
    const ArtNet::PollReply &reply = node.reply;
    QString line = QCoreApplication::translate(
                       "NodeText", "%1 : %2, MAC %3, univers %4, firmware %5")
                       .arg(node.address.toString(), shownShortName(node),
                            reply.hasMac() ? reply.macText()
                                           : QCoreApplication::translate("NodeText", "inconnue"),
                            universesText(node.universes()), reply.firmwareText());
    if (reply.bindIndex > 1)
        line += QCoreApplication::translate("NodeText", " (réponse %1)").arg(reply.bindIndex);
    if (node.addressFieldDiffers())
        line += QCoreApplication::translate("NodeText", " ; sa réponse annonce l'adresse %1")
                    .arg(QHostAddress(static_cast<quint32>(reply.ipField)).toString());
    if (node.gone)
        line += QCoreApplication::translate("NodeText", " ; ne répond plus");
    return line;
}
