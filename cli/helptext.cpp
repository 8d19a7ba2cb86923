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
                           continue après le plus grand numéro qu'il tient (vérifié,
                           ou réservé sans résultat) ; un numéro qu'il tient déjà
                           n'est pas redonné. Plusieurs séries, sur un poste ou
                           sur plusieurs (dossier partagé), peuvent tenir un même
                           journal : chaque numéro y est réservé, sous un verrou
                           (FICHIER.csv.lock), avant que le node soit écrit, et
                           le résultat y est enregistré avant d'être annoncé.
  network [--poll ADRESSE] [--wait S] [--json]
                           les nodes Art-Net qui répondent sur le réseau : adresse,
                           nom, MAC, univers (numéro et net.sous-réseau.univers),
                           firmware, et les conflits d'adresse
  network --check JOURNAL.csv [--poll ADRESSE] [--wait S]
                           vérifie une série sur le réseau : chaque unité vérifiée
                           du journal à son adresse, seule, avec les univers de son
                           préréglage (comptés de 0 ou de 1) ; les unités absentes
                           et les nodes hors du journal sont listés
  test ADRESSE [--seconds S]
                           envoie la mire au node : une couleur par univers qui
                           avance pixel par pixel, sur les univers qu'il déclare,
                           40 images par seconde, puis du noir

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
  --reuse-number           series : redonne quand même le numéro --from que le
                           journal tient déjà (un node remplacé) ; ce numéro seul
  --poll ADRESSE[:PORT]    network : n'interroge que cette adresse, ou ces adresses
                           séparées par des virgules (sinon la diffusion de chaque
                           interface réseau active)
  --check JOURNAL.csv      network : le journal d'une série à vérifier
  --seconds S              test : durée de la mire, de 1 à 60 secondes (60 par
                           défaut)
  -h, --help               cette aide

Les valeurs sont vérifiées comme dans la fenêtre de nodeconfig (mêmes règles,
mêmes messages) : octets de 0 à 255, dernier octet de l'adresse IP au moins 15,
horloges de 0,05 à 12,75 MHz par pas de 0,05 (virgule ou point décimal).

Codes de sortie :
  0  fait, et le node tient ce qui a été écrit (relu et comparé)
  1  erreur du node (accès refusé, écriture refusée, pas de réponse),
     vérification échouée, ou USB indisponible (hidapi ne démarre pas) ;
     network : un conflit d'adresse vu, ou avec --check une unité absente,
     en double ou sur d'autres univers ; port 6454 fermé
  2  mauvaise entrée : arguments, fichier ou valeur ; rien n'a été écrit
  3  aucun node branché pendant l'attente (--wait) ; test : le node n'a pas
     répondu
  4  series : le journal n'a pas pu enregistrer une ligne (disque plein,
     fichier supprimé, droits, dossier réseau perdu, verrou tenu par un autre
     programme) ; la série s'est arrêtée, et un node écrit mais non
     journalisé est nommé avec son numéro et son adresse
)";

} // namespace

QString helpText()
{
    return QString::fromUtf8(Help);
}
