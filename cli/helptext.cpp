#include "cli/helptext.h"

namespace {

const char *const Help = R"(Usage : nodeconfig-cli COMMANDE [OPTIONS]

Configure un node LED branché en USB, sans fenêtre : sauvegarde, restauration,
clonage et mise en place d'une série d'unités, chaque écriture étant relue et
vérifiée.

Commandes :
  list                     les nodes branchés : chemin, numéro de série, adresse IP
  show [--json]            la configuration du node, un champ par ligne (ou en JSON)
  save FICHIER             enregistre la configuration dans un fichier JSON
  load FICHIER             écrit la configuration d'un fichier, puis la vérifie
  set CHAMP=VALEUR...      change ces champs seulement, puis vérifie
                           champs : ip, mask, broadcast, offset, output, spi1freq,
                           spi2freq, spi1patch, spi2patch (huit numéros séparés par
                           des virgules), ou un champ de la fenêtre : ipa1..ipa4,
                           ipm1..ipm4, ipb1..ipb4, spi1p1..spi1p8, spi2p1..spi2p8
                           exemple : set ip=2.0.0.20 spi1freq=0,8 output=LPD6803
  factory-reset            écrit les paramètres d'usine, puis vérifie
  curtain N [--size T]     fait du node le rideau N (adresse 2.0.0.N+14), vérifié
  costume N                fait du node le costume N (adresse 2.0.0.N+14), vérifié
  series curtain|costume [--from N] [--size T] [--count K] [--log FICHIER.csv]
         [--reuse-number]  met en place une série : attend un node (sans limite de
                           temps), écrit l'unité N, vérifie, attend qu'il soit
                           débranché, passe à N+1.
                           Un node qui tient déjà une configuration écrite par la
                           série n'est pas réécrit (son numéro de série ne suffit
                           pas), ni un node qui tient déjà le préréglage d'une
                           autre unité ; un échec garde le numéro. Ctrl+C termine
                           avec un bilan.
                           Le journal est la mémoire de la série : sans --from, elle
                           continue après le plus grand numéro qu'il tient comme
                           vérifié ; un numéro qu'il tient déjà n'est pas redonné.
  network [--poll ADRESSE] [--wait S] [--json] [--share-port]
                           les nodes Art-Net qui répondent sur le réseau : adresse,
                           nom, MAC, univers (numéro et net.sous-réseau.univers),
                           firmware, et les conflits d'adresse
  network --check JOURNAL.csv [--poll ADRESSE] [--wait S] [--share-port]
                           vérifie une série sur le réseau : chaque unité vérifiée
                           du journal à son adresse, seule, avec les univers de son
                           préréglage (comptés de 0 ou de 1) ; les unités absentes
                           et les nodes hors du journal sont listés
  test ADRESSE [--seconds S] [--universe LISTE] [--on-conflict stop|send]
       [--share-port]      envoie la mire au node : une couleur par univers qui
                           avance pixel par pixel, sur les univers qu'il déclare
                           (ou ceux de --universe), chacun une fois, 40 images par
                           seconde au plus, puis du noir, aussi sur Ctrl+C, SIGTERM
                           ou un terminal fermé ; « noir envoyé » seulement si le
                           noir est parti, sinon les univers qui peuvent rester
                           allumés sont nommés

Options :
  --device CHEMIN|SÉRIE    le node à utiliser, obligatoire avec plusieurs nodes ;
                           un numéro de série que portent plusieurs nodes est refusé
  --wait SECONDES          attente d'un node (10 par défaut) ; une lecture sans
                           réponse est refaite, 3 fois au plus, dans ce délai ;
                           network et test : écoute du réseau (3 par défaut)
  --json                   show : la configuration au format de save ;
                           network : les nodes et les conflits en JSON
  --size 2X1|3X2|4X2       taille du rideau (2X1 par défaut)
  --from N                 series : numéro de la première unité (par défaut, le
                           suivant du journal)
  --count K                series : s'arrête après K unités vérifiées
  --log FICHIER.csv        series : ajoute une ligne par node (numéro, adresse,
                           capacité, série, heure, résultat), séparée par des
                           points-virgules, en UTF-8 avec BOM (Excel, LibreOffice),
                           et l'unité (rideau et sa taille, ou costume) ; un
                           journal existant est lu d'abord et complété, jamais
                           réécrit
  --reuse-number           series : redonne quand même un numéro que le journal
                           tient déjà comme vérifié (un node remplacé)
  --poll ADRESSE[:PORT]    network : n'interroge que cette adresse, ou ces adresses
                           séparées par des virgules (sinon la diffusion de chaque
                           interface réseau active)
  --check JOURNAL.csv      network : le journal d'une série à vérifier
  --seconds S              test : durée de la mire, de 1 à 60 secondes (60 par
                           défaut)
  --universe LISTE         test : ces univers (numéros Art-Net de 0 à 32767,
                           « 1,2,5-8 », 64 au plus), sans interroger le node ni
                           ouvrir le port 6454 : la mire part d'un port à elle, à
                           côté d'une console qui écoute
  --on-conflict stop|send  test : quand plusieurs nodes répondent à l'adresse (le
                           conflit est nommé d'abord), stop (par défaut) n'envoie
                           rien ; send envoie la mire quand même, une fois par
                           univers
  --share-port             network, test : écoute le port UDP 6454 même si un autre
                           programme de cet ordinateur le tient (une console) ;
                           sans elle, ils s'arrêtent : tant que nodeconfig écoute,
                           l'autre programme n'entend plus ses nodes (Linux donne
                           chaque réponse adressée à cet ordinateur à nodeconfig
                           seul, Windows à l'un des deux au hasard)
  -h, --help               cette aide

Les valeurs sont vérifiées comme dans la fenêtre de nodeconfig (mêmes règles,
mêmes messages) : octets de 0 à 255, dernier octet de l'adresse IP au moins 15,
horloges de 0,05 à 12,75 MHz par pas de 0,05 (virgule ou point décimal).

Codes de sortie :
  0  fait, et le node tient ce qui a été écrit (relu et comparé)
  1  erreur du node (accès refusé, écriture refusée, pas de réponse),
     vérification échouée, ou USB indisponible (hidapi ne démarre pas) ;
     network : un conflit d'adresse vu, ou avec --check une unité absente,
     en double ou sur d'autres univers ; port 6454 fermé, ou tenu par un
     autre programme (sans --share-port) ; test : un conflit à l'adresse
     (sans --on-conflict send), ou un noir qui n'a pas pu être envoyé
  2  mauvaise entrée : arguments, fichier ou valeur ; rien n'a été écrit
  3  aucun node branché pendant l'attente (--wait) ; test : le node n'a pas
     répondu
)";

} // namespace

QString helpText()
{
    return QString::fromUtf8(Help);
}
