#include "net/nodetext.h"

#include <QCoreApplication>
#include <QStringList>

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
                       .arg(node.address.toString(), reply.shortNameText(),
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
