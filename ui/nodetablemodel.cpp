#include "ui/nodetablemodel.h"

#include "net/nodetext.h"

#include <QBrush>
#include <QGuiApplication>
#include <QHash>
#include <QPalette>

namespace {

constexpr int MsPerSecond = 1000;
const QColor ConflictColour(0xD0, 0x31, 0x2D);
// More rows than this leaving at once, apart from one another, and the view
// takes the list anew rather than one removal each.
constexpr int RemovalsOneByOne = 32;

const std::array<QString, NodeTableModel::ColumnCount> Headers = {
    QStringLiteral("Adresse"),  QStringLiteral("Nom"),
    QStringLiteral("MAC"),      QStringLiteral("Univers (patch / Art-Net)"),
    QStringLiteral("Firmware"), QStringLiteral("Dernière réponse"),
    QStringLiteral("Conflit ou remarque"),
};

QString agoText(qint64 agoMs, bool gone)
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

QString macText(const NodeRow &row, const ArtNet::PollReply &reply)
{
    if (!row.conflict.isEmpty() && row.macCount > 1)
        return QStringLiteral("%1 adresses MAC").arg(row.macCount);
    return reply.hasMac() ? reply.macText() : QStringLiteral("inconnue");
}

bool answersAt(const NodeRow &row, const SeenNode &first, const QHostAddress &address)
{
    if (row.gone || address.isNull())
        return false;
    return row.address.isEqual(address, QHostAddress::ConvertV4MappedToIPv4)
           || QHostAddress(first.reply.ipField) == address;
}

// A tooltip shows rich text when its text looks like it: a name from the
// network is shown as written.
QString plainToolTip(const QString &text)
{
    return text.isEmpty() ? QString() : QStringLiteral("<span>%1</span>").arg(text.toHtmlEscaped());
}

} // namespace

NodeTableModel::NodeTableModel(QObject *parent) : QAbstractTableModel(parent)
{
}

int NodeTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(shown.size());
}

int NodeTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant NodeTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return Headers[static_cast<std::size_t>(section)];
}

QVariant NodeTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const ShownRow &row = shown[static_cast<std::size_t>(index.row())];
    const auto column = static_cast<std::size_t>(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return row.texts[column];
    case Qt::ToolTipRole:
        return plainToolTip(index.column() == NameColumn ? row.longName : row.texts[column]);
    case Qt::ForegroundRole:
        if (row.tone == Tone::Conflict)
            return QBrush(ConflictColour);
        if (row.tone == Tone::Gone)
            return QBrush(QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text));
        return QVariant();
    case Qt::FontRole: {
        if (!row.bold)
            return QVariant();
        QFont bold = baseFont;
        bold.setBold(true);
        return bold;
    }
    case SortRole:
        return sortValue(row, index.column());
    default:
        return QVariant();
    }
}

QVariant NodeTableModel::sortValue(const ShownRow &row, int column) const
{
    switch (column) {
    case AddressColumn:
        return row.address;
    case UniversesColumn:
        return row.row.universes.empty() ? -1 : row.row.universes.front();
    case FirmwareColumn:
        return row.firmware;
    case SeenColumn:
        return -row.row.lastSeenMs; // the latest first
    default:
        return row.texts[static_cast<std::size_t>(column)];
    }
}

QString NodeTableModel::seenText(const NodeRow &row) const
{
    return agoText(nowMs - row.lastSeenMs, row.gone);
}

NodeTableModel::ShownRow NodeTableModel::shownRow(const NodeRow &row,
                                                  const std::vector<SeenNode> &nodes,
                                                  const QHostAddress &formAddress) const
{
    const SeenNode &first = nodes[row.entries.front()];
    const ArtNet::PollReply &reply = first.reply;
    ShownRow shownRow;
    shownRow.row = row;
    shownRow.texts = {
        row.address.toString(),
        shownShortName(first),
        macText(row, reply),
        universeRangesText(row.universes),
        reply.firmwareText(),
        seenText(row),
        row.conflict.isEmpty() ? addressRemark(first) : row.conflict,
    };
    shownRow.longName = shownLongName(first);
    shownRow.tone = !row.conflict.isEmpty() ? Tone::Conflict : row.gone ? Tone::Gone : Tone::Plain;
    shownRow.bold = answersAt(row, first, formAddress);
    shownRow.address = row.address.toIPv4Address();
    shownRow.firmware = reply.firmware;
    return shownRow;
}

void NodeTableModel::setRows(const std::vector<NodeRow> &rows, const std::vector<SeenNode> &nodes,
                             const QHostAddress &formAddress, qint64 now)
{
    nowMs = now;
    std::vector<ShownRow> fresh;
    fresh.reserve(rows.size());
    QHash<QString, int> freshRow;
    for (const NodeRow &row : rows) {
        freshRow.insert(row.key, static_cast<int>(fresh.size()));
        fresh.push_back(shownRow(row, nodes, formAddress));
    }
    removeRowsMissingFrom(freshRow);
    std::vector<bool> kept(fresh.size(), false);
    std::vector<ChangedColumns> changes;
    for (int at = 0; at < rowCount(); ++at) {
        const int from = freshRow.value(shown[static_cast<std::size_t>(at)].row.key);
        kept[static_cast<std::size_t>(from)] = true;
        changes.push_back(updateRow(at, std::move(fresh[static_cast<std::size_t>(from)])));
    }
    tellChanged(changes);
    std::vector<ShownRow> added;
    for (std::size_t from = 0; from < fresh.size(); ++from) {
        if (!kept[from])
            added.push_back(std::move(fresh[from]));
    }
    if (added.empty())
        return;
    beginInsertRows(QModelIndex(), rowCount(), rowCount() + static_cast<int>(added.size()) - 1);
    for (ShownRow &row : added)
        shown.push_back(std::move(row));
    endInsertRows();
}

void NodeTableModel::setTimes(const std::vector<SeenNode> &nodes, qint64 now)
{
    nowMs = now;
    std::vector<ChangedColumns> changes;
    changes.reserve(shown.size());
    for (ShownRow &row : shown) {
        qint64 lastSeenMs = row.row.lastSeenMs;
        for (const std::size_t entry : row.row.entries) {
            if (entry < nodes.size())
                lastSeenMs = std::max(lastSeenMs, nodes[entry].lastSeenMs);
        }
        const bool sooner = lastSeenMs != row.row.lastSeenMs;
        row.row.lastSeenMs = lastSeenMs;
        QString text = seenText(row.row);
        const bool changed = sooner || text != row.texts[SeenColumn];
        row.texts[SeenColumn] = std::move(text);
        changes.push_back(changed ? 1u << SeenColumn : 0u);
    }
    tellChanged(changes);
}

// Removes the rows whose key the new list lacks: each run of them at once,
// or, when they lie in many places (a flood's replies leaving), the whole
// list anew, which costs the view far less than many removals.
void NodeTableModel::removeRowsMissingFrom(const QHash<QString, int> &newRows)
{
    std::vector<std::pair<int, int>> runs; // first and last, from the bottom up
    for (int at = rowCount() - 1; at >= 0; --at) {
        if (newRows.contains(shown[static_cast<std::size_t>(at)].row.key))
            continue;
        if (!runs.empty() && runs.back().first == at + 1)
            runs.back().first = at;
        else
            runs.emplace_back(at, at);
    }
    const auto leaves = [&](const ShownRow &row) { return !newRows.contains(row.row.key); };
    if (static_cast<int>(runs.size()) > RemovalsOneByOne) {
        beginResetModel();
        shown.erase(std::remove_if(shown.begin(), shown.end(), leaves), shown.end());
        endResetModel();
        return;
    }
    for (const auto &run : runs) {
        beginRemoveRows(QModelIndex(), run.first, run.second);
        shown.erase(shown.begin() + run.first, shown.begin() + run.second + 1);
        endRemoveRows();
    }
}

NodeTableModel::ChangedColumns NodeTableModel::updateRow(int at, ShownRow updated)
{
    ShownRow &row = shown[static_cast<std::size_t>(at)];
    const bool lookChanged = row.tone != updated.tone || row.bold != updated.bold;
    ChangedColumns changed = 0;
    for (int column = 0; column < ColumnCount; ++column) {
        const auto c = static_cast<std::size_t>(column);
        const bool differs = lookChanged || row.texts[c] != updated.texts[c]
                             || (column == NameColumn && row.longName != updated.longName)
                             || (column == SeenColumn && row.row.lastSeenMs != updated.row.lastSeenMs)
                             || (column == UniversesColumn && row.row.universes != updated.row.universes)
                             || (column == AddressColumn && row.address != updated.address);
        if (differs)
            changed |= 1u << column;
    }
    row = std::move(updated);
    return changed;
}

// Consecutive rows with the same changed columns in one signal for each run
// of those columns: a second later, every row's time at once.
void NodeTableModel::tellChanged(const std::vector<ChangedColumns> &changes)
{
    const int rows = static_cast<int>(changes.size());
    int runStart = 0;
    for (int at = 1; at <= rows; ++at) {
        const ChangedColumns columns = changes[static_cast<std::size_t>(runStart)];
        if (at < rows && changes[static_cast<std::size_t>(at)] == columns)
            continue;
        tellChanged(runStart, at - 1, columns);
        runStart = at;
    }
}

void NodeTableModel::tellChanged(int firstRow, int lastRow, ChangedColumns columns)
{
    int column = 0;
    while (column < ColumnCount) {
        if ((columns >> column & 1u) == 0) {
            ++column;
            continue;
        }
        int last = column;
        while (last + 1 < ColumnCount && (columns >> (last + 1) & 1u) != 0)
            ++last;
        emit dataChanged(index(firstRow, column), index(lastRow, last));
        column = last + 1;
    }
}
