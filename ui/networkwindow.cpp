#include "ui/networkwindow.h"

#include "net/seriescheck.h"
#include "net/seriescheckreport.h"
#include "net/sharedport.h"
#include "series/serieslog.h"
#include "ui/filechooser.h"
#include "ui_networkwindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QStandardPaths>

namespace {

enum Column {
    AddressColumn,
    NameColumn,
    MacColumn,
    UniversesColumn,
    FirmwareColumn,
    SeenColumn,
    RemarkColumn,
    ColumnCount
};

constexpr int MsPerSecond = 1000;
const QColor ConflictColour(0xD0, 0x31, 0x2D);
const QColor SeenColour(0x2E, 0xA0, 0x43);
const QString LogFilter = QStringLiteral("Journal CSV (*.csv);;Tous les fichiers (*)");
const QString TimeFormat = QStringLiteral("HH:mm:ss");

constexpr int Ipv4Dots = 3;

const QString ListenAnywayText =
    QStringLiteral("« Écouter quand même » ouvre aussi ce port, tant que cette fenêtre reste "
                   "ouverte.");

// An address written whole, in four numbers ("2.0.0.15"); null otherwise,
// also for the short forms that the system's parser would complete.
QHostAddress ipv4(const QString &text)
{
    if (text.count(QLatin1Char('.')) != Ipv4Dots)
        return QHostAddress();
    const QHostAddress address(text);
    return address.protocol() == QAbstractSocket::IPv4Protocol ? address : QHostAddress();
}

QString seenText(qint64 agoMs, bool gone)
{
    const qint64 seconds = agoMs / MsPerSecond;
    const QString ago = seconds < 1 ? QStringLiteral("à l'instant")
                                    : QStringLiteral("il y a %1 s").arg(seconds);
    return gone ? QStringLiteral("absent, vu %1").arg(ago) : ago;
}

// What a row says beside a conflict: the address a node gives in its reply
// when it is not the one it answers from.
QString addressRemark(const SeenNode &node)
{
    if (!node.addressFieldDiffers())
        return QString();
    return QStringLiteral("annonce l'adresse %1").arg(QHostAddress(node.reply.ipField).toString());
}

bool answersAt(const NodeRow &row, const std::vector<SeenNode> &nodes, const QHostAddress &address)
{
    if (row.gone)
        return false;
    if (row.address.isEqual(address, QHostAddress::ConvertV4MappedToIPv4))
        return true;
    const SeenNode &first = nodes[row.entries.front()];
    return QHostAddress(first.reply.ipField) == address;
}

} // namespace

NetworkWindow::NetworkWindow(QWidget *parent, const NetworkReach &given)
    : QWidget(parent, Qt::Window),
      ui(new Ui::NetworkWindowUi),
      discovery(clock),
      sender(clock),
      reach(given)
{
    ui->setupUi(this);
    // Each column as wide as its texts; the universes take what is left.
    QHeaderView *const header = ui->nodes->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(UniversesColumn, QHeaderView::Stretch);
    header->setStretchLastSection(false);
    if (reach.fixed) {
        QStringList addresses;
        for (const NodeDiscovery::Target &target : reach.targets)
            addresses << target.address.toString();
        ui->pollAddress->setText(addresses.join(QStringLiteral(", ")));
        ui->pollAddress->setEnabled(false);
    }
    connect(&discovery, &NodeDiscovery::nodesChanged, this, &NetworkWindow::showNodes);
    connect(&discovery, &NodeDiscovery::errorChanged, this, &NetworkWindow::showNotes);
    connect(&refreshTimer, &QTimer::timeout, this, &NetworkWindow::showNodes);
    refreshTimer.setInterval(RefreshIntervalMs);
    connect(ui->pollAddress, &QLineEdit::editingFinished, this, &NetworkWindow::applyPollAddress);
    connect(ui->nodes, &QTableWidget::itemSelectionChanged, this, [this] {
        const NodeRow *const row = selectedRow();
        selectedKey = row ? row->key() : QString();
        updateButtons();
    });
    connect(ui->bSharePort, &QPushButton::clicked, this, &NetworkWindow::listenBesideOtherProgram);
    connect(ui->bTest, &QPushButton::clicked, this, &NetworkWindow::startTest);
    connect(ui->bStop, &QPushButton::clicked, this, &NetworkWindow::stopTest);
    connect(&sender, &TestPatternSender::finished, this, &NetworkWindow::testFinished);
    // The strips go black before the application quits or the session ends
    // (logging off, shutdown), where no window is closed first.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &NetworkWindow::stopTest);
    connect(qGuiApp, &QCoreApplication::aboutToQuit, this, &NetworkWindow::stopTest);
    showPortWarning(false);
    connect(ui->bCheckLog, &QPushButton::clicked, this, &NetworkWindow::checkLog);
    showFormNode();
}

NetworkWindow::~NetworkWindow()
{
    stopPolling();
    delete ui;
}

void NetworkWindow::setFormAddress(const QString &address)
{
    if (address == formAddress)
        return;
    formAddress = address;
    showFormNode();
    showNotes();
}

void NetworkWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!discovery.isRunning())
        startPolling();
}

void NetworkWindow::closeEvent(QCloseEvent *event)
{
    stopPolling();
    portAgreed = false;
    QWidget::closeEvent(event);
}

void NetworkWindow::startPolling()
{
    // Beside a console that holds the port: not before the technician agrees.
    const bool held = !portAgreed && udpPortHeldElsewhere(reach.bindAddress, reach.bindPort);
    showPortWarning(held);
    if (held)
        return;
    discovery.setBindAddress(reach.bindAddress, reach.bindPort);
    const std::vector<NodeDiscovery::Target> typed = userTargets();
    discovery.setTargets(typed.empty() ? reach.targets : typed);
    discovery.start();
    refreshTimer.start();
    showNotes();
}

void NetworkWindow::stopPolling()
{
    sender.stop();
    discovery.stop();
    refreshTimer.stop();
}

void NetworkWindow::showPortWarning(bool shown)
{
    ui->portWarning->setText(shown ? heldPortWarning(reach.bindPort) + QLatin1Char(' ')
                                         + ListenAnywayText
                                   : QString());
    ui->portWarning->setVisible(shown);
    ui->bSharePort->setVisible(shown);
}

void NetworkWindow::listenBesideOtherProgram()
{
    portAgreed = true;
    startPolling();
}

std::vector<NodeDiscovery::Target> NetworkWindow::userTargets() const
{
    if (reach.fixed)
        return {};
    const QHostAddress address = ipv4(ui->pollAddress->text().trimmed());
    if (address.isNull())
        return {};
    return {{address, ArtNet::Port}};
}

// A new address to poll starts a new list.
void NetworkWindow::applyPollAddress()
{
    const QString text = ui->pollAddress->text().trimmed();
    // Qt 5 says so also when the field merely loses the focus.
    if (text == appliedPollAddress)
        return;
    appliedPollAddress = text;
    lastNote = !text.isEmpty() && userTargets().empty()
                   ? QStringLiteral("« %1 » n'est pas une adresse IPv4 : chaque interface "
                                    "active est interrogée.").arg(text)
                   : QString();
    if (!discovery.isRunning())
        return showNotes();
    discovery.stop();
    discovery.clearNodes();
    startPolling();
}

void NetworkWindow::showNodes()
{
    rows = nodeRows(discovery.nodes(), discovery.conflicts());
    const QSignalBlocker blocker(ui->nodes);
    ui->nodes->setRowCount(static_cast<int>(rows.size()));
    int selected = -1;
    for (int index = 0; index < static_cast<int>(rows.size()); ++index) {
        showRow(index, rows[index]);
        if (rows[index].key() == selectedKey)
            selected = index;
    }
    if (selected >= 0)
        ui->nodes->selectRow(selected);
    else
        ui->nodes->clearSelection();
    showFormNode();
    updateButtons();
}

void NetworkWindow::showRow(int rowIndex, const NodeRow &row)
{
    const SeenNode &first = discovery.nodes()[row.entries.front()];
    const ArtNet::PollReply &reply = first.reply;
    const QString remark = row.conflict.isEmpty() ? addressRemark(first) : row.conflict;
    const QStringList texts = {
        row.address.toString(),
        reply.shortNameText(),
        reply.hasMac() ? reply.macText() : QStringLiteral("inconnue"),
        universeRangesText(row.universes),
        reply.firmwareText(),
        seenText(clock.elapsedMs() - row.lastSeenMs, row.gone),
        remark,
    };
    const bool formNode = answersAt(row, discovery.nodes(), ipv4(formAddress));
    const QColor colour = !row.conflict.isEmpty() ? ConflictColour
                          : row.gone ? palette().color(QPalette::Disabled, QPalette::Text)
                                     : palette().color(QPalette::Text);
    QFont font = ui->nodes->font();
    font.setBold(formNode);
    for (int column = 0; column < ColumnCount; ++column) {
        QTableWidgetItem *item = ui->nodes->item(rowIndex, column);
        if (!item) {
            item = new QTableWidgetItem;
            ui->nodes->setItem(rowIndex, column, item);
        }
        // Only what changed: every change makes the table measure its
        // columns again, and most refreshes change the time alone.
        const QString toolTip = column == NameColumn ? reply.longNameText() : texts[column];
        if (item->text() != texts[column])
            item->setText(texts[column]);
        if (item->toolTip() != toolTip)
            item->setToolTip(toolTip);
        if (item->foreground().color() != colour)
            item->setForeground(colour);
        if (item->font() != font)
            item->setFont(font);
    }
}

void NetworkWindow::showFormNode()
{
    const QHostAddress address = ipv4(formAddress);
    if (address.isNull()) {
        ui->formNode->setText(QStringLiteral("Node du formulaire : pas d'adresse complète"));
        ui->formNode->setStyleSheet(QString());
        return;
    }
    const bool seen = std::any_of(rows.begin(), rows.end(), [&](const NodeRow &row) {
        return answersAt(row, discovery.nodes(), address);
    });
    ui->formNode->setText(seen ? QStringLiteral("Node du formulaire (%1) : vu sur le réseau")
                                     .arg(address.toString())
                               : QStringLiteral("Node du formulaire (%1) : pas encore vu")
                                     .arg(address.toString()));
    ui->formNode->setStyleSheet(
        seen ? QStringLiteral("color: %1; font-weight: bold;").arg(SeenColour.name()) : QString());
}

void NetworkWindow::showNotes()
{
    QStringList notes;
    if (!discovery.errorText().isEmpty())
        notes << discovery.errorText();
    if (!discovery.sharedPortWarning().isEmpty())
        notes << discovery.sharedPortWarning();
    const QHostAddress node = ipv4(formAddress);
    const QString advice = node.isNull() ? QString() : discovery.networkAdvice(node);
    if (!advice.isEmpty())
        notes << advice;
    if (!lastNote.isEmpty())
        notes << lastNote;
    ui->notes->setText(notes.join(QLatin1Char('\n')));
}

const NodeRow *NetworkWindow::selectedRow() const
{
    const QList<QTableWidgetItem *> selected = ui->nodes->selectedItems();
    if (selected.isEmpty())
        return nullptr;
    const int index = selected.front()->row();
    return index < static_cast<int>(rows.size()) ? &rows[index] : nullptr;
}

void NetworkWindow::updateButtons()
{
    const NodeRow *const row = selectedRow();
    ui->bTest->setEnabled(!sender.isRunning() && row && !row->gone && !row->universes.empty());
    ui->bStop->setEnabled(sender.isRunning());
}

void NetworkWindow::startTest()
{
    const NodeRow *const row = selectedRow();
    if (!row || row->universes.empty())
        return;
    const QHostAddress address = row->address;
    testedNode = address.toString();
    // Whatever answers at the address takes one stream per universe; several
    // nodes there are named first, and tested only when asked.
    std::vector<int> universes;
    QStringList conflicts;
    for (const NodeRow &other : rows) {
        if (other.gone || other.address != address)
            continue;
        universes.insert(universes.end(), other.universes.begin(), other.universes.end());
        if (!other.conflict.isEmpty() && !conflicts.contains(other.conflict))
            conflicts << other.conflict;
    }
    const QString conflictText =
        conflicts.isEmpty() ? QString() : QStringLiteral("Conflit : %1 ").arg(conflicts.join(' '));
    if (!conflicts.isEmpty() && !ui->cConflictTest->isChecked())
        lastNote = conflictText
                   + QStringLiteral("La mire n'est pas envoyée : cochez « %1 » pour l'envoyer "
                                    "quand même, une fois par univers.")
                         .arg(ui->cConflictTest->text().remove(QLatin1Char('&')));
    else if (sender.start(address, universes, reach.portOf(address)))
        lastNote = conflictText
                   + QStringLiteral("Test en cours sur %1 : %2 univers, %3 s au plus.")
                         .arg(testedNode)
                         .arg(sender.universesSent().size())
                         .arg(TestPatternSender::MaximumDurationMs / MsPerSecond);
    else
        lastNote = sender.errorText();
    updateButtons();
    showNotes();
}

void NetworkWindow::stopTest()
{
    sender.stop();
}

void NetworkWindow::testFinished()
{
    lastNote = QStringLiteral("Test terminé sur %1 : %2.").arg(testedNode, sender.endText());
    updateButtons();
    showNotes();
}

void NetworkWindow::checkLog()
{
    FileQuestion question;
    question.purpose = FileQuestion::Purpose::Open;
    question.caption = QStringLiteral("Journal de la série à vérifier");
    question.proposedPath = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    question.filter = LogFilter;
    const QString path = chooseFile(this, question);
    if (!path.isEmpty())
        ui->checkReport->setPlainText(logCheckReport(path).join(QLatin1Char('\n')));
}

// The log's units against the nodes heard since the window opened.
QStringList NetworkWindow::logCheckReport(const QString &path) const
{
    const QString shownPath = QStringLiteral("« %1 »").arg(QDir::toNativeSeparators(path));
    std::vector<SeriesRow> rows;
    const QString failure = SeriesLog::read(path, rows);
    if (!failure.isEmpty())
        return {failure};
    const std::vector<LoggedUnit> units = loggedUnits(rows);
    if (units.empty())
        return {QStringLiteral("%1 ne contient aucune unité vérifiée").arg(shownPath)};
    const SeriesCheck check = checkSeries(units, discovery.nodes());
    QStringList lines = {QStringLiteral("Journal %1, vérifié à %2 :")
                             .arg(shownPath, clock.wallTime().toString(TimeFormat))};
    lines << seriesCheckLines(check);
    lines << (check.allConsistent()
                  ? QStringLiteral("Chaque unité du journal répond à son adresse, seule, avec ses "
                                   "univers.")
                  : QStringLiteral("La série ne correspond pas à son journal : voir ci-dessus."));
    return lines;
}
