// nodeconfig-cli's network commands: `network` lists the Art-Net nodes
// (or checks a series log against them) and `test` lights a node's
// universes with the test pattern. The console's loop drives the polls and
// the frames on its clock.

#include "cli/cliapp.h"

#include "cli/exitstatus.h"
#include "config/configtext.h"
#include "link/stoprequest.h"
#include "net/networkinterfaces.h"
#include "net/nodetext.h"
#include "net/seriescheck.h"
#include "net/seriescheckreport.h"
#include "net/sharedport.h"
#include "net/testpatternsender.h"
#include "series/serieslog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int MsPerSecond = 1000;
constexpr qint64 NetworkWaitMs = 3000;      // a poll and the nodes' answers (1 s at most)
constexpr int ListenStepMs = 20;
constexpr qint64 ReplyGatherMs = 1000;       // a node's other replies, after its first
constexpr int LongestPatternSeconds = TestPatternSender::MaximumDurationMs / MsPerSecond;
// The presets' first unit, whose network the interfaces are checked against.
const QHostAddress PresetNodeAddress(QStringLiteral("2.0.0.15"));
const QString StopOnConflict = QStringLiteral("stop");
const QString SendOnConflict = QStringLiteral("send");
const QString HeldPortAdvice = QStringLiteral(
    " Fermez cet autre programme, ou relancez avec --share-port pour écouter quand même ; "
    "test ADRESSE --universe N allume un node sans ouvrir ce port.");

constexpr auto MostUniverses = static_cast<std::size_t>(TestPatternSender::MaximumUniverses);

// "1", "1,2,5-8": port-addresses, each once, in the order given; nullopt,
// with `failure` saying why, otherwise.
std::optional<std::vector<int>> universeList(const QString &text, QString &failure)
{
    static const QRegularExpression item(QStringLiteral("^([0-9]{1,5})(?:-([0-9]{1,5}))?$"));
    std::vector<int> universes;
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QRegularExpressionMatch match = item.match(part.trimmed());
        const int first = match.captured(1).toInt();
        const int last = match.captured(2).isEmpty() ? first : match.captured(2).toInt();
        if (!match.hasMatch() || last < first || last > ArtNet::MaxPortAddress) {
            failure = QStringLiteral("%1 n'est pas une liste d'univers (numéros Art-Net de 0 à %2, "
                                     "séparés par des virgules, ou N-M de N à M)")
                          .arg(quoted(text))
                          .arg(ArtNet::MaxPortAddress);
            return std::nullopt;
        }
        for (int universe = first; universe <= last && universes.size() <= MostUniverses; ++universe)
            if (std::find(universes.begin(), universes.end(), universe) == universes.end())
                universes.push_back(universe);
    }
    if (universes.size() > MostUniverses) {
        failure = QStringLiteral("%1 : plus de %2 univers, la mire en allume %2 au plus à la fois")
                      .arg(quoted(text))
                      .arg(TestPatternSender::MaximumUniverses);
        return std::nullopt;
    }
    return universes;
}

QJsonObject nodeJson(const SeenNode &node)
{
    QJsonArray universes;
    for (const int portAddress : node.universes())
        universes.append(QJsonObject{{QStringLiteral("portAddress"), portAddress},
                                     {QStringLiteral("artnet"), ArtNet::portAddressText(portAddress)}});
    const ArtNet::PollReply &reply = node.reply;
    return QJsonObject{
        {QStringLiteral("address"), node.address.toString()},
        {QStringLiteral("addressField"), QHostAddress(static_cast<quint32>(reply.ipField)).toString()},
        {QStringLiteral("bindIndex"), reply.bindIndex},
        {QStringLiteral("shortName"), reply.shortNameText()},
        {QStringLiteral("longName"), reply.longNameText()},
        {QStringLiteral("mac"), reply.hasMac() ? reply.macText() : QString()},
        {QStringLiteral("firmware"), reply.firmwareText()},
        {QStringLiteral("universes"), universes},
        {QStringLiteral("gone"), node.gone},
    };
}

} // namespace

void CliApp::setNetworkBind(const QHostAddress &address, quint16 port)
{
    networkBindAddress = address;
    networkBindPort = port;
}

// "ADDRESS" or "ADDRESS:PORT", IPv4 in its four dotted numbers.
std::optional<NodeDiscovery::Target> CliApp::pollTarget(const QString &text, QString &failure) const
{
    static const QRegularExpression form(
        QStringLiteral("^((?:[0-9]{1,3}\\.){3}[0-9]{1,3})(?::([0-9]{1,5}))?$"));
    const QRegularExpressionMatch match = form.match(text);
    const QHostAddress address(match.captured(1));
    const int port = match.captured(2).isEmpty() ? ArtNet::Port : match.captured(2).toInt();
    if (!match.hasMatch() || address.protocol() != QAbstractSocket::IPv4Protocol || port < 1
        || port > 0xFFFF) {
        failure = QStringLiteral("%1 n'est pas une adresse IPv4").arg(quoted(text));
        return std::nullopt;
    }
    return NodeDiscovery::Target{address, static_cast<quint16>(port)};
}

bool CliApp::startDiscovery(NodeDiscovery &discovery, int &status)
{
    if (!arguments.has(Option::SharePort)
        && udpPortHeldElsewhere(networkBindAddress, networkBindPort)) {
        status = fail(Exit::NodeFailure, heldPortWarning(networkBindPort) + HeldPortAdvice);
        return false;
    }
    discovery.setPollsByTimer(false);
    discovery.setBindAddress(networkBindAddress, networkBindPort);
    if (!discovery.start()) {
        status = fail(Exit::NodeFailure, discovery.errorText());
        return false;
    }
    if (!discovery.sharedPortWarning().isEmpty())
        output.note(QStringLiteral("attention : ") + discovery.sharedPortWarning());
    return true;
}

template <typename Done>
void CliApp::listen(NodeDiscovery &discovery, qint64 durationMs, Done done)
{
    const qint64 start = clock.elapsedMs();
    qint64 nextPoll = start + NodeDiscovery::PollIntervalMs;
    for (;;) {
        QCoreApplication::processEvents();
        const qint64 now = clock.elapsedMs();
        if (now - start >= durationMs || stopRequested() || done())
            return;
        if (now >= nextPoll) {
            discovery.pollNow();
            nextPoll += NodeDiscovery::PollIntervalMs;
        }
        clock.sleepMs(ListenStepMs);
    }
}

int CliApp::network()
{
    if (!arguments.has(Option::Wait))
        waitMs = NetworkWaitMs;
    NodeDiscovery discovery(clock);
    const bool polledInterfaces = !arguments.has(Option::Poll);
    if (!polledInterfaces) {
        // One address, or several separated by commas.
        std::vector<NodeDiscovery::Target> targets;
        for (const QString &text : arguments.value(Option::Poll).split(QLatin1Char(','))) {
            QString failure;
            const std::optional<NodeDiscovery::Target> target = pollTarget(text.trimmed(), failure);
            if (!target)
                return fail(Exit::BadInput, QStringLiteral("--poll : ") + failure);
            targets.push_back(*target);
        }
        discovery.setTargets(targets);
    }
    std::vector<SeriesRow> rows;
    if (arguments.has(Option::Check) && arguments.has(Option::Json))
        return fail(Exit::BadInput, QStringLiteral("--json ne s'applique pas à --check"));
    if (arguments.has(Option::Check)) {
        const QString path = arguments.value(Option::Check);
        if (!QFileInfo(path).isFile())
            return fail(Exit::BadInput, QStringLiteral("--check : %1 n'existe pas").arg(quoted(path)));
        const QString failure = SeriesLog::read(path, rows);
        if (!failure.isEmpty())
            return fail(Exit::BadInput, QStringLiteral("--check : ") + failure);
        if (loggedUnits(rows).empty())
            return fail(Exit::BadInput, QStringLiteral("--check : %1 ne contient aucune unité "
                                                       "vérifiée")
                                            .arg(quoted(path)));
    }
    int status = Exit::Done;
    if (!startDiscovery(discovery, status))
        return status;
    listen(discovery, waitMs, [] { return false; });
    if (arguments.has(Option::Check))
        return checkSeriesLog(discovery, rows);
    return printNodes(discovery, polledInterfaces);
}

int CliApp::printNodes(const NodeDiscovery &discovery, bool polledInterfaces)
{
    const std::vector<NodeConflict> conflicts = discovery.conflicts();
    if (arguments.has(Option::Json)) {
        QJsonArray nodes;
        for (const SeenNode &node : discovery.nodes())
            nodes.append(nodeJson(node));
        QJsonArray conflictList;
        for (const NodeConflict &conflict : conflicts)
            conflictList.append(QJsonObject{{QStringLiteral("address"), conflict.address.toString()},
                                            {QStringLiteral("reason"), conflict.reason}});
        output.print(QString::fromUtf8(
            QJsonDocument(QJsonObject{{QStringLiteral("nodes"), nodes},
                                      {QStringLiteral("conflicts"), conflictList}})
                .toJson(QJsonDocument::Indented)).trimmed());
    } else {
        for (const SeenNode &node : discovery.nodes())
            output.print(nodeLine(node));
        for (const NodeConflict &conflict : conflicts)
            output.print(QStringLiteral("Conflit : ") + conflict.reason);
    }
    if (discovery.nodes().empty()) {
        output.note(QStringLiteral("Aucun node n'a répondu."));
        const QString advice = missingNetworkAdvice(upInterfaceAddresses(), PresetNodeAddress);
        if (polledInterfaces && !advice.isEmpty())
            output.note(advice);
    }
    return conflicts.empty() ? Exit::Done : Exit::NodeFailure;
}

int CliApp::checkSeriesLog(NodeDiscovery &discovery, const std::vector<SeriesRow> &rows)
{
    const SeriesCheck check = checkSeries(loggedUnits(rows), discovery.nodes());
    for (const QString &line : seriesCheckLines(check))
        output.print(line);
    return check.allConsistent() ? Exit::Done : Exit::NodeFailure;
}

int CliApp::testPattern()
{
    if (!arguments.has(Option::Wait))
        waitMs = NetworkWaitMs;
    QString failure;
    const std::optional<NodeDiscovery::Target> target = pollTarget(arguments.operands.front(), failure);
    if (!target)
        return fail(Exit::BadInput, QStringLiteral("test : ") + failure);
    if (reachesManyNodes(upInterfaceAddresses(), target->address))
        return fail(Exit::BadInput, QStringLiteral("test : %1 est une adresse de diffusion ou de "
                                                   "groupe, la mire irait à tous les nodes qui "
                                                   "l'entendent : donnez l'adresse d'un node")
                                        .arg(target->address.toString()));
    int seconds = LongestPatternSeconds;
    if (arguments.has(Option::Seconds)) {
        const QString text = arguments.value(Option::Seconds);
        static const QRegularExpression digits(QStringLiteral("^[0-9]{1,3}$"));
        seconds = digits.match(text).hasMatch() ? text.toInt() : 0;
        if (seconds < 1 || seconds > LongestPatternSeconds)
            return fail(Exit::BadInput, QStringLiteral("--seconds : %1 n'est pas une durée de 1 à %2 "
                                                       "secondes")
                                            .arg(quoted(text))
                                            .arg(LongestPatternSeconds));
    }
    const QString onConflict = arguments.has(Option::OnConflict) ? arguments.value(Option::OnConflict)
                                                                 : StopOnConflict;
    if (onConflict != StopOnConflict && onConflict != SendOnConflict)
        return fail(Exit::BadInput, QStringLiteral("--on-conflict : %1 n'est ni %2 ni %3")
                                        .arg(quoted(onConflict), StopOnConflict, SendOnConflict));

    std::vector<int> universes;
    if (arguments.has(Option::Universe)) {
        // Sent without listening: nothing to share, no conflict to see.
        if (arguments.has(Option::SharePort) || arguments.has(Option::OnConflict))
            return fail(Exit::BadInput, QStringLiteral("--universe : la mire part sans écouter le "
                                                       "réseau, --share-port et --on-conflict ne "
                                                       "s'y appliquent pas"));
        const std::optional<std::vector<int>> given =
            universeList(arguments.value(Option::Universe), failure);
        if (!given)
            return fail(Exit::BadInput, QStringLiteral("--universe : ") + failure);
        universes = *given;
    } else {
        int status = Exit::Done;
        if (!reportedUniverses(*target, onConflict == SendOnConflict, universes, status))
            return status;
    }
    return runPattern(*target, universes, seconds);
}

bool CliApp::reportedUniverses(const NodeDiscovery::Target &target, bool despiteConflict,
                               std::vector<int> &universes, int &status)
{
    // The universes the node itself reports, never a guessed numbering. Its
    // address and its network's broadcast are polled: a unicast poll
    // reaches one of several nodes at one address, the broadcast all.
    NodeDiscovery discovery(clock);
    std::vector<NodeDiscovery::Target> polled = {target};
    for (const QHostAddress &broadcast : broadcastsToward(upInterfaceAddresses(), target.address))
        polled.push_back({broadcast, target.port});
    discovery.setTargets(polled);
    if (!startDiscovery(discovery, status))
        return false;
    const auto heardSince = [&discovery, &target, this](qint64 ms) {
        return std::any_of(discovery.nodes().begin(), discovery.nodes().end(),
                           [ms, &target, this](const SeenNode &node) {
                               return node.address == target.address
                                      && clock.elapsedMs() - node.firstSeenMs >= ms;
                           });
    };
    listen(discovery, waitMs, [&heardSince] { return heardSince(ReplyGatherMs); });
    discovery.stop();
    if (stopRequested())
        return true; // the pattern does not start, and says so
    bool answered = false;
    for (const SeenNode &node : discovery.nodes()) {
        if (node.address != target.address)
            continue;
        answered = true;
        for (const int universe : node.universes())
            if (std::find(universes.begin(), universes.end(), universe) == universes.end())
                universes.push_back(universe);
    }
    if (!answered) {
        status = fail(Exit::NoNode,
                      QStringLiteral("aucun node n'a répondu à %1").arg(target.address.toString()));
        return false;
    }
    // Several nodes at one address: named before anything is sent.
    bool conflict = false;
    for (const NodeConflict &found : discovery.conflicts()) {
        if (found.address != target.address)
            continue;
        conflict = true;
        output.print(QStringLiteral("Conflit : ") + found.reason);
    }
    if (conflict && !despiteConflict) {
        status = fail(Exit::NodeFailure,
                      QStringLiteral("test : plusieurs nodes répondent à %1, la mire n'est pas "
                                     "envoyée (--on-conflict send l'envoie quand même, une fois "
                                     "par univers)")
                          .arg(target.address.toString()));
        return false;
    }
    return true;
}

int CliApp::runPattern(const NodeDiscovery::Target &target, const std::vector<int> &universes,
                       int seconds)
{
    // Asked to end before the first frame (while the node was asked its
    // universes).
    if (stopRequested())
        return fail(Exit::NodeFailure, QStringLiteral("test : arrêté avant la mire, rien n'a été "
                                                      "envoyé à %1")
                                           .arg(target.address.toString()));
    TestPatternSender sender(clock);
    if (patternSend)
        sender.setDatagramSend(patternSend);
    sender.setFramesByTimer(false);
    sender.setDurationMs(static_cast<qint64>(seconds) * MsPerSecond);
    if (!sender.start(target.address, universes, target.port))
        return fail(Exit::NodeFailure, sender.errorText());
    output.print(QStringLiteral("Mire envoyée à %1, univers %2, pendant %3 s (Ctrl+C pour arrêter)")
                     .arg(target.address.toString(), universesText(sender.universesSent()))
                     .arg(seconds));
    // The sender paces the frames on the clock; a stop asked meanwhile
    // (Ctrl+C, a closed terminal, SIGTERM, a closed output) ends the run
    // with its black frame before the program returns.
    while (sender.isRunning()) {
        QCoreApplication::processEvents();
        if (stopRequested()) {
            sender.stop();
            break;
        }
        const qint64 wait = sender.msUntilNextFrame();
        if (wait > 0)
            clock.sleepMs(static_cast<int>(wait));
        else
            sender.sendFrame();
    }
    const QString end = QStringLiteral("Mire arrêtée après %1 images : %2")
                            .arg(sender.framesSent())
                            .arg(sender.endText());
    if (!sender.universesLeftLit().empty())
        return fail(Exit::NodeFailure, end);
    output.print(end);
    return Exit::Done;
}
