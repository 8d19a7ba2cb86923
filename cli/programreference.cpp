#include "cli/programreference.h"

#include "cli/exitstatus.h"

namespace Option {
const QString Device = QStringLiteral("--device");
const QString Wait = QStringLiteral("--wait");
const QString Json = QStringLiteral("--json");
const QString Size = QStringLiteral("--size");
const QString From = QStringLiteral("--from");
const QString Count = QStringLiteral("--count");
const QString Log = QStringLiteral("--log");
const QString Poll = QStringLiteral("--poll");
const QString Check = QStringLiteral("--check");
const QString Seconds = QStringLiteral("--seconds");
const QString ReuseNumber = QStringLiteral("--reuse-number");
const QString SharePort = QStringLiteral("--share-port");
const QString Universe = QStringLiteral("--universe");
const QString OnConflict = QStringLiteral("--on-conflict");
const QString Help = QStringLiteral("--help");
const QString ShortHelp = QStringLiteral("-h");
const QString Version = QStringLiteral("--version");
const QString Guide = QStringLiteral("--guide");
} // namespace Option

namespace {

const QChar Space = QLatin1Char(' ');

const OptionEntry HelpEntry = {Option::Help, Option::ShortHelp, {}, QStringLiteral("cette aide")};
const OptionEntry VersionEntry = {Option::Version, {}, {},
                                  QStringLiteral("la version de nodeconfig et celle de Qt")};
const OptionEntry GuideEntry = {Option::Guide, {}, {},
                                QStringLiteral("ouvre le guide d'utilisation seul, sans chercher de "
                                               "node")};

// The window programs take a configuration file to open, and Qt's own options.
const QString WindowUsage = QStringLiteral("[FICHIER]");
const QString WindowNote =
    QStringLiteral("FICHIER, s'il est donné, est une configuration ouverte dans le formulaire comme "
                   "par Fichier > Ouvrir une configuration ; rien n'est envoyé au node.\n"
                   "Les options de Qt (-platform, -style, ...) sont acceptées aussi.");

} // namespace

QString CommandEntry::name() const
{
    return synopsis.section(Space, 0, 0);
}

QString OptionEntry::term() const
{
    const QString named = shortName.isEmpty() ? name : shortName + QStringLiteral(", ") + name;
    return takesValue() ? named + Space + valueName : named;
}

const OptionEntry *ProgramReference::findOption(const QString &option) const
{
    for (const OptionEntry &entry : options) {
        if (entry.name == option || (!entry.shortName.isEmpty() && entry.shortName == option))
            return &entry;
    }
    return nullptr;
}

const ProgramReference &cliReference()
{
    static const ProgramReference reference = {
        QStringLiteral("nodeconfig-cli"),
        QStringLiteral("COMMANDE [OPTIONS]"),
        QStringLiteral("configure un node LED branché en USB, en ligne de commande"),
        QStringLiteral("Configure un node LED branché en USB, sans fenêtre : sauvegarde, "
                       "restauration, clonage et mise en place d'une série d'unités, chaque "
                       "écriture étant relue et vérifiée."),
        {
            {QStringLiteral("list"),
             QStringLiteral("les nodes branchés : chemin, numéro de série, adresse IP")},
            {QStringLiteral("show [--json]"),
             QStringLiteral("la configuration du node, un champ par ligne (ou en JSON)")},
            {QStringLiteral("save FICHIER"),
             QStringLiteral("enregistre la configuration dans un fichier JSON")},
            {QStringLiteral("load FICHIER"),
             QStringLiteral("écrit la configuration d'un fichier, puis la vérifie")},
            {QStringLiteral("set CHAMP=VALEUR..."),
             QStringLiteral("change ces champs seulement, puis vérifie\n"
                            "champs : ip, mask, broadcast, offset, output, spi1freq, spi2freq, "
                            "spi1patch, spi2patch (huit numéros séparés par des virgules), ou un "
                            "champ de la fenêtre : ipa1..ipa4, ipm1..ipm4, ipb1..ipb4, "
                            "spi1p1..spi1p8, spi2p1..spi2p8\n"
                            "exemple : set ip=2.0.0.20 spi1freq=0,8 output=LPD6803")},
            {QStringLiteral("factory-reset"),
             QStringLiteral("écrit les paramètres d'usine, puis vérifie")},
            {QStringLiteral("curtain N [--size T]"),
             QStringLiteral("fait du node le rideau N (adresse 2.0.0.N+14), vérifié")},
            {QStringLiteral("costume N"),
             QStringLiteral("fait du node le costume N (adresse 2.0.0.N+14), vérifié")},
            {QStringLiteral("series curtain|costume [--from N] [--size T] [--count K] [--log "
                            "FICHIER.csv] [--reuse-number]"),
             QStringLiteral("met en place une série : attend un node (sans limite de temps), écrit "
                            "l'unité N, vérifie, attend qu'il soit débranché, passe à N+1.\n"
                            "Un node qui tient déjà une configuration écrite par la série n'est pas "
                            "réécrit (son numéro de série ne suffit pas), ni un node qui tient déjà "
                            "le préréglage d'une autre unité ; un échec garde le numéro. Ctrl+C "
                            "termine avec un bilan.\n"
                            "Le journal est la mémoire de la série : sans --from, elle continue "
                            "après le plus grand numéro qu'il tient (vérifié, ou réservé sans "
                            "résultat) ; un numéro qu'il tient déjà n'est pas redonné. Plusieurs "
                            "séries, sur un poste ou sur plusieurs (dossier partagé), peuvent tenir "
                            "un même journal : chaque numéro y est réservé, sous un verrou "
                            "(FICHIER.csv.lock), avant que le node soit écrit, et le résultat y est "
                            "enregistré avant d'être annoncé.")},
            {QStringLiteral("network [--poll ADRESSE] [--wait S] [--json] [--share-port]"),
             QStringLiteral("les nodes Art-Net qui répondent sur le réseau : adresse, nom, MAC, "
                            "univers (numéro et net.sous-réseau.univers), firmware, et les conflits "
                            "d'adresse")},
            {QStringLiteral("network --check JOURNAL.csv [--poll ADRESSE] [--wait S] [--share-port]"),
             QStringLiteral("vérifie une série sur le réseau : chaque unité vérifiée du journal à son "
                            "adresse, seule, avec les univers de son préréglage (comptés de 0 ou de "
                            "1) ; les unités absentes et les nodes hors du journal sont listés")},
            {QStringLiteral("test ADRESSE [--seconds S] [--universe LISTE] [--on-conflict "
                            "stop|send] [--share-port]"),
             QStringLiteral("envoie la mire au node : une couleur par univers qui avance pixel par "
                            "pixel, sur les univers qu'il déclare (ou ceux de --universe), chacun une "
                            "fois, 40 images par seconde au plus, puis du noir, aussi sur Ctrl+C, "
                            "SIGTERM ou un terminal fermé ; « noir envoyé » seulement si le noir est "
                            "parti, sinon les univers qui peuvent rester allumés sont nommés. Une "
                            "adresse de diffusion est refusée")},
        },
        {
            {Option::Device, {}, QStringLiteral("CHEMIN|SÉRIE"),
             QStringLiteral("le node à utiliser, obligatoire avec plusieurs nodes ; un numéro de "
                            "série que portent plusieurs nodes est refusé")},
            {Option::Wait, {}, QStringLiteral("SECONDES"),
             QStringLiteral("attente d'un node (10 par défaut) ; une lecture sans réponse est "
                            "refaite, 3 fois au plus, dans ce délai ; network et test : écoute du "
                            "réseau (3 par défaut)")},
            {Option::Json, {}, {},
             QStringLiteral("show : la configuration au format de save ; network : les nodes et les "
                            "conflits en JSON")},
            {Option::Size, {}, QStringLiteral("2X1|3X2|4X2"),
             QStringLiteral("taille du rideau (2X1 par défaut)")},
            {Option::From, {}, QStringLiteral("N"),
             QStringLiteral("series : numéro de la première unité (par défaut, le suivant du journal)")},
            {Option::Count, {}, QStringLiteral("K"),
             QStringLiteral("series : s'arrête après K unités vérifiées")},
            {Option::Log, {}, QStringLiteral("FICHIER.csv"),
             QStringLiteral("series : ajoute une ligne par node (numéro, adresse, capacité, série, "
                            "heure, résultat), séparée par des points-virgules, en UTF-8 avec BOM "
                            "(Excel, LibreOffice), et l'unité (rideau et sa taille, ou costume) ; un "
                            "journal existant est lu d'abord et complété, jamais réécrit")},
            {Option::ReuseNumber, {}, {},
             QStringLiteral("series : redonne quand même le numéro --from que le journal tient "
                            "déjà (un node remplacé) ; ce numéro seul")},
            {Option::Poll, {}, QStringLiteral("ADRESSE[:PORT]"),
             QStringLiteral("network : n'interroge que cette adresse, ou ces adresses séparées par "
                            "des virgules (sinon la diffusion de chaque interface réseau active)")},
            {Option::Check, {}, QStringLiteral("JOURNAL.csv"),
             QStringLiteral("network : le journal d'une série à vérifier")},
            {Option::Seconds, {}, QStringLiteral("S"),
             QStringLiteral("test : durée de la mire, de 1 à 60 secondes (60 par défaut)")},
            {Option::Universe, {}, QStringLiteral("LISTE"),
             QStringLiteral("test : ces univers (numéros Art-Net de 0 à 32767, par exemple 1,2,5-8, 64 au "
                            "plus), sans interroger le node ni ouvrir le port 6454 : la mire part "
                            "d'un port à elle, à côté d'une console qui écoute")},
            {Option::OnConflict, {}, QStringLiteral("stop|send"),
             QStringLiteral("test : quand plusieurs nodes répondent à l'adresse (le conflit est "
                            "nommé d'abord), stop (par défaut) n'envoie rien ; send envoie la mire "
                            "quand même, une fois par univers")},
            {Option::SharePort, {}, {},
             QStringLiteral("network, test : écoute le port UDP 6454 même si un autre programme de "
                            "cet ordinateur le tient (une console) ; sans elle, ils s'arrêtent : "
                            "tant que nodeconfig écoute, l'autre programme n'entend plus ses nodes "
                            "(Linux donne chaque réponse adressée à cet ordinateur à nodeconfig "
                            "seul, Windows à l'un des deux au hasard)")},
            HelpEntry,
            VersionEntry,
        },
        QStringLiteral("Les valeurs sont vérifiées comme dans la fenêtre de nodeconfig (mêmes "
                       "règles, mêmes messages) : octets de 0 à 255, dernier octet de l'adresse IP "
                       "au moins 15, horloges de 0,05 à 12,75 MHz par pas de 0,05 (virgule ou point "
                       "décimal)."),
        {
            {Exit::Done, QStringLiteral("fait, et le node tient ce qui a été écrit (relu et comparé)")},
            {Exit::NodeFailure,
             QStringLiteral("erreur du node (accès refusé, écriture refusée, pas de réponse), "
                            "vérification échouée, ou USB indisponible (hidapi ne démarre pas) ; "
                            "network : un conflit d'adresse vu, ou avec --check une unité absente, en "
                            "double ou sur d'autres univers ; port 6454 fermé, ou tenu par un autre "
                            "programme (sans --share-port) ; test : un conflit à l'adresse (sans "
                            "--on-conflict send), un arrêt avant la mire, ou un noir qui n'a pas pu "
                            "être envoyé")},
            {Exit::BadInput,
             QStringLiteral("mauvaise entrée : arguments, fichier ou valeur ; rien n'a été écrit")},
            {Exit::NoNode,
             QStringLiteral("aucun node branché pendant l'attente (--wait) ; test : le node n'a pas "
                            "répondu")},
            {Exit::LogFailure,
             QStringLiteral("series : le journal n'a pas pu enregistrer une ligne (disque plein, "
                            "fichier supprimé, droits, dossier réseau perdu, verrou tenu par un autre "
                            "programme) ; la série s'est arrêtée, et un node écrit mais non journalisé "
                            "est nommé avec son numéro et son adresse")},
        },
    };
    return reference;
}

const ProgramReference &windowReference()
{
    static const ProgramReference reference = {
        QStringLiteral("nodeconfig"),
        WindowUsage,
        QStringLiteral("configure un node LED branché en USB"),
        QStringLiteral("Lit la configuration du node LED branché en USB (adresse IP, masque, "
                       "diffusion, décalage d'univers, type de sortie, horloges SPI, patch des "
                       "univers), la montre dans un formulaire et l'y écrit, relue et vérifiée ; "
                       "paramètres d'usine, rideaux et costumes, sauvegarde, restauration et "
                       "clonage par fichier, séries numérotées avec journal, nodes sur le réseau "
                       "d'éclairage (Art-Net) et mire. Le guide d'utilisation est dans le menu "
                       "Aide (F1)."),
        {},
        {GuideEntry, HelpEntry, VersionEntry},
        WindowNote,
        {},
    };
    return reference;
}

const ProgramReference &demoReference()
{
    static const ProgramReference reference = {
        QStringLiteral("nodeconfig-demo"),
        WindowUsage,
        QStringLiteral("la fenêtre de nodeconfig sur un node simulé, sans matériel"),
        QStringLiteral("La fenêtre de nodeconfig, reliée à un node simulé au lieu du port USB : "
                       "un node apparaît une seconde après le démarrage (192.168.1.50, 16 "
                       "univers, LPD6803 à 0,8 MHz) et tout s'essaie dessus. Sa fenêtre Réseau "
                       "n'interroge que ce node, sur 127.0.0.2 : rien n'est envoyé au réseau."),
        {},
        {GuideEntry, HelpEntry, VersionEntry},
        WindowNote,
        {},
    };
    return reference;
}

const ProgramReference &virtualNodeReference()
{
    static const ProgramReference reference = {
        QStringLiteral("nodeconfig-virtual-node"),
        QStringLiteral("[OPTIONS]"),
        QStringLiteral("un node simulé, branché comme un vrai périphérique USB (Linux)"),
        QStringLiteral("Publie un node simulé comme un vrai périphérique USB HID (1FC9:0050) par "
                       "le pilote uhid de Linux, jusqu'à Ctrl+C : nodeconfig et nodeconfig-cli "
                       "le trouvent et le configurent comme un node branché. Il répond aussi aux "
                       "interrogations Art-Net à l'adresse de sa configuration. Il faut le "
                       "module uhid et le droit d'écrire dans /dev/uhid (root). Ses options, en "
                       "anglais : nodeconfig-virtual-node --help."),
        {},
        {},
        {},
        {},
    };
    return reference;
}

std::vector<const ProgramReference *> programReferences()
{
    return {&windowReference(), &cliReference(), &demoReference(), &virtualNodeReference()};
}
