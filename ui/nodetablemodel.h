#pragma once

#include "ui/noderows.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QHash>
#include <QHostAddress>

#include <array>
#include <vector>

// The network window's list as a table: one row per NodeRow. A new list
// changes only what differs: rows that appeared are inserted, rows that
// left are removed, and of the others only the cells whose text or look
// changed are told to the view, consecutive rows that changed alike in one
// signal (a second later, every row's "Dernière réponse" at once). So the
// view repaints what changed, however many rows there are, and its
// selection stays on its row.
class NodeTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
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
    // What the columns sort by: numbers where the text would sort wrong
    // (addresses, universes, times).
    static constexpr int SortRole = Qt::UserRole;

    explicit NodeTableModel(QObject *parent = nullptr);

    // The font of the view, for the form's node in bold.
    void setBaseFont(const QFont &font) { baseFont = font; }
    // The list now, on the discovery's clock at `nowMs` (for "Dernière
    // réponse"). The row answering at `formAddress` (the main form's node)
    // is in bold.
    void setRows(const std::vector<NodeRow> &rows, const std::vector<SeenNode> &nodes,
                 const QHostAddress &formAddress, qint64 nowMs);
    // "Dernière réponse" at `nowMs`, each row's last reply read from
    // `nodes`: the list the rows were made from, its entries unchanged since
    // (only their times).
    void setTimes(const std::vector<SeenNode> &nodes, qint64 nowMs);

    const NodeRow &nodeRow(int row) const { return shown[static_cast<std::size_t>(row)].row; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    enum class Tone { Plain, Conflict, Gone };

    struct ShownRow {
        NodeRow row;
        std::array<QString, ColumnCount> texts;
        QString longName;
        Tone tone = Tone::Plain;
        bool bold = false;
        quint32 address = 0;
        int firmware = 0;
    };

    // The columns of one row that changed, one bit each.
    using ChangedColumns = unsigned;

    ShownRow shownRow(const NodeRow &row, const std::vector<SeenNode> &nodes,
                      const QHostAddress &formAddress) const;
    QString seenText(const NodeRow &row) const;
    void removeRowsMissingFrom(const QHash<QString, int> &newRows);
    ChangedColumns updateRow(int at, ShownRow updated);
    void tellChanged(const std::vector<ChangedColumns> &changes);
    void tellChanged(int firstRow, int lastRow, ChangedColumns columns);
    QVariant sortValue(const ShownRow &row, int column) const;

    std::vector<ShownRow> shown;
    QFont baseFont;
    qint64 nowMs = 0;
};
