#pragma once

#include "link/systemclock.h"
#include "net/nodediscovery.h"
#include "net/testpatternsender.h"
#include "ui/networkreach.h"
#include "ui/noderows.h"

#include <QTimer>
#include <QWidget>

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
class NetworkWindow : public QWidget
{
    Q_OBJECT

public:
    NetworkWindow(QWidget *parent, const NetworkReach &reach);
    ~NetworkWindow() override;

    // The address the main form holds ("2.0.0.15"; anything else is no
    // address), marked as seen or not yet seen.
    void setFormAddress(const QString &address);

    // For tests: the discovery and the sender the window drives.
    NodeDiscovery &nodeDiscovery() { return discovery; }
    TestPatternSender &patternSender() { return sender; }

public slots:
    // Refreshes the rows, their times and the form's mark now; the
    // window's timer calls it every second.
    void showNodes();

protected:
    // Polling starts when the window is shown and stops when it is closed;
    // closing it also ends the test pattern with its black frame, as the
    // application quitting and the session ending do.
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // How often the "last seen" times are brought up to date.
    static constexpr int RefreshIntervalMs = 1000;

    void startPolling();
    void stopPolling();
    void showPortWarning(bool shown);
    void listenBesideOtherProgram();
    void applyPollAddress();
    std::vector<NodeDiscovery::Target> userTargets() const;
    void showRow(int rowIndex, const NodeRow &row);
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
    SystemClock clock;
    NodeDiscovery discovery;
    TestPatternSender sender;
    QTimer refreshTimer;
    NetworkReach reach;
    std::vector<NodeRow> rows;
    QString formAddress;
    QString selectedKey;
    QString testedNode;
    QString lastNote; // from the test or the address typed
    QString appliedPollAddress; // the "Interroger" text polled now
    bool portAgreed = false;    // listening beside another program, until closed
};
