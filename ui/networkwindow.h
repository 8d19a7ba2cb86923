#pragma once

#include "link/systemclock.h"
#include "net/nodediscovery.h"
#include "net/testpatternsender.h"
#include "ui/networkreach.h"
#include "ui/noderows.h"

#include <QTimer>
#include <QWidget>

class NodeTableModel;
class QSortFilterProxyModel;

#include <vector>

namespace Ui {
class NetworkWindowUi;
}

// The Art-Net nodes on the lighting network, beside the main window: one
// row per node, live, conflicts in red; whether the node in the main form
// answers; the test pattern on a selected node; a series log checked
// against what answers. It polls only while it is open, and where another
// program (a lighting console) holds the port already, only once the
// technician has agreed, until the window closes.
//
// However large the rig, the list costs the GUI thread little: changes of
// the list are gathered for a moment and shown as one, only the cells that
// changed are redrawn (NodeTableModel), and the columns are fitted to their
// texts as the first poll's replies come in, and then only when asked (the
// header's menu, or a double click on a column's edge).
class NetworkWindow : public QWidget
{
    Q_OBJECT

public:
    // `clock` gives the list's times (tests give theirs; it must outlive the
    // window); the window's own steady clock otherwise.
    NetworkWindow(QWidget *parent, const NetworkReach &reach, Clock *clock = nullptr);
    ~NetworkWindow() override;

    // The address the main form holds ("2.0.0.15"; anything else is no
    // address), marked as seen or not yet seen.
    void setFormAddress(const QString &address);

    // For tests: the discovery and the sender the window drives.
    NodeDiscovery &nodeDiscovery() { return discovery; }
    TestPatternSender &patternSender() { return sender; }

public slots:
    // Refreshes the rows, their times and the form's mark now; a change of
    // the list calls it RowsGatherMs after it.
    void showNodes();
    // Brings the times of the rows up to date; the window's timer calls it
    // every second.
    void showTimes();
    // Each column as wide as its texts (the universes take what is left).
    void fitColumns();

protected:
    // Polling starts when the window is shown and stops when it is closed;
    // closing it also ends the test pattern with its black frame, as the
    // application quitting and the session ending do.
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // How often the "last seen" times are brought up to date.
    static constexpr int RefreshIntervalMs = 1000;
    // How long changes of the list are gathered before they are shown: a
    // rig's replies to one poll come within a second, a flood without end.
    static constexpr int RowsGatherMs = 200;
    // The columns are fitted to the first replies, and again once the rest
    // of the first poll's are in (nodes answer within a second).
    static constexpr int FirstFitDelayMs = 1000;

    void startPolling();
    void stopPolling();
    void showPortWarning(bool shown);
    void listenBesideOtherProgram();
    void applyPollAddress();
    std::vector<NodeDiscovery::Target> userTargets() const;
    void setUpTable();
    void fitColumnsOnce(qint64 now);
    void listChanged();
    void keepSelection();
    void showFormNode();
    void showNotes();
    void updateButtons();
    const NodeRow *selectedRow() const;
    void startTest();
    void stopTest();
    void testFinished();
    void checkLog();
    QStringList logCheckReport(const QString &path) const;

    Ui::NetworkWindowUi *ui;
    SystemClock ownClock;
    Clock &clock;
    NodeDiscovery discovery;
    TestPatternSender sender;
    QTimer refreshTimer;
    QTimer rowsTimer;
    NetworkReach reach;
    NodeTableModel *model;
    QSortFilterProxyModel *sortedModel;
    qint64 firstRowsMs = -1; // on the clock; -1: no row yet
    bool columnsFitted = false;
    QString formAddress;
    QString selectedKey;
    QString testedNode;
    QString lastNote; // from the test or the address typed
    QStringList receptionNotes; // the discovery's warnings, as shown
    QString appliedPollAddress; // the "Interroger" text polled now
    bool portAgreed = false;    // listening beside another program, until closed
};
