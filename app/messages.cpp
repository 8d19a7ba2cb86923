#include "app/messages.h"

#include <QtGlobal>

namespace Status {
const char *const WaitingForNode = "En attente de node";
const char *const ConnectedToNode = "Connecté au node";
const char *const SendingNewValues = "Envoie des nouvelles valeurs";
const char *const NoNodeConnected = "Aucun node connecté";
const char *const AccessRefused = "Node détecté, accès refusé";
const char *const UsbUnavailable = "USB indisponible";
const char *const FactorySettings = "Paramètres d'usine";
const char *const FillAllFields = "Veuillez remplir tous les champs";
const char *const HostOctetTooLow = "L'adresse IP minimum est .15";
const char *const Spi1FreqTooLow = "SPI1 Freq trop bas";
const char *const Spi1FreqTooHigh = "SPI1 Freq trop haut";
const char *const Spi2FreqTooLow = "SPI2 Freq trop bas";
const char *const Spi2FreqTooHigh = "SPI2 Freq trop haut";
const char *const NoCurtainNumber = "Aucun numéro de rideau";
const char *const NoCostumeNumber = "Aucun numéro de costume";
const char *const TooManyCurtains = "Impossible d'ajouter plus de rideau";
const char *const TooManyCostumes = "Impossible d'ajouter plus de costume";
const char *const ConfigurationOpened = "Configuration ouverte";
const char *const ConfigurationSaved = "Configuration enregistrée";
const char *const FileRefused = "Fichier refusé";
const char *const SaveFailed = "Enregistrement impossible";
const char *const NumberInLog = "Numéro déjà au journal";
const char *const LogUnusable = "Journal inutilisable";
const char *const NotLogged = "Écrit, mais pas au journal";

const char *const All[] = {
    WaitingForNode,  ConnectedToNode, SendingNewValues, NoNodeConnected, AccessRefused,
    UsbUnavailable,  FactorySettings, FillAllFields,   HostOctetTooLow,  Spi1FreqTooLow,  Spi1FreqTooHigh,
    Spi2FreqTooLow,  Spi2FreqTooHigh, NoCurtainNumber,  NoCostumeNumber, TooManyCurtains,
    TooManyCostumes, ConfigurationOpened, ConfigurationSaved, FileRefused, SaveFailed,
    NumberInLog,     LogUnusable,     NotLogged,
};
const int Count = sizeof All / sizeof All[0];
} // namespace Status

const char *const HidLibraryFailure =
    "la bibliothèque hidapi n'a pas pu démarrer, aucun node ne peut être cherché ; "
    "vérifiez l'installation de nodeconfig et de hidapi";

QString quoted(const QString &text)
{
    return QStringLiteral("« %1 »").arg(text);
}

#if defined(Q_OS_LINUX)
#define ACCESS_REFUSED_FIX                                                                   \
    "installez la règle udev de nodeconfig (70-nodeconfig.rules, voir le guide d'utilisation), " \
    "puis débranchez et rebranchez le node"
const char *const AccessRefusedFix = ACCESS_REFUSED_FIX;
const char *const AccessRefusedCommandFix = ACCESS_REFUSED_FIX ", ou lancez la commande en root";
#else
const char *const AccessRefusedFix =
    "un autre programme utilise peut-être le node : fermez-le, "
    "puis débranchez et rebranchez le node";
const char *const AccessRefusedCommandFix = AccessRefusedFix;
#endif
