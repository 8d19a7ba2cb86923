#pragma once

#include "protocol/decode.h"
#include "protocol/fieldmap.h"
#include "protocol/nodereport.h"
#include "protocol/validation.h"
#include "ui/networkreach.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <optional>

namespace Ui {
class MainWindowUi;
}
class QLineEdit;
class QPushButton;
class QWidget;
class GuideWindow;
class NetworkWindow;
class SeriesWindow;
class SeriesLog;
struct SeriesRow;

// The tool's one window. Its slots do all of the work; their bodies live
// with the part that owns the behaviour: the refresh in ui/, the search in
// usb/, the commands in protocol/.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Reads a configuration file into the form, as "Ouvrir" does; nothing
    // is sent. A bad file leaves the form as it was and says why.
    void openConfigurationFile(const QString &chosen);
    // Opens the file the program's arguments name after its own name
    // (nodeconfig FILE), if any.
    void openArgumentFile(const QStringList &arguments);
    // Where the network window listens and polls (the demo's node, tests);
    // taken when the window is first opened.
    void setNetworkReach(const NetworkReach &reach) { networkReach = reach; }
    NetworkWindow *networkWindowShown() const { return networkWindow; }
    GuideWindow *guideWindowShown() const { return guideWindow; }

protected:
    // A configuration file dropped on the window is opened.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    // Closes the series, network and guide windows too, after the unit the
    // series may be writing.
    void closeEvent(QCloseEvent *event) override;

private slots:
    void updateDisplay();
    void searchDevice();
    void on_bSend_clicked();
    void on_bReset_clicked();
    void on_bAddRideau_clicked();
    void on_bAddCostume_clicked();
    void on_output_currentIndexChanged(int index);

private:
    using ConfigEdits = std::array<QLineEdit *, Slot::EditCount>;
    using FrequencyWidgets = std::array<QWidget *, 4>;
    using WritingButtons = std::array<QPushButton *, 4>;

    void installValidators();
    bool validateInputs();
    // Writes the report buffer to the node and arms the read-back; returns
    // the transport's count.
    int writeToNode();
    void writeUnit(const NodeReport &preset, QLineEdit *numberField, long long number,
                   UnitKind kind);
    // After a read attempt: an opened file whose write the node took is
    // forgotten once the node was read back whole, so that the form shows
    // the node again; a failed write or read-back keeps it.
    void settleOpenedFile(bool readBack);
    bool checkCurtainNumber();
    bool checkCostumeNumber();

    // The 31 configuration edits, indexed by display slot.
    ConfigEdits configEdits() const;
    // The clock fields and their captions, shown only for clocked chips.
    FrequencyWidgets frequencyWidgets() const;
    // The buttons that write to the node.
    WritingButtons writingButtons() const;

    // The form's texts as a send takes them (decimal point), the capacity
    // label's in its slot.
    FieldTexts formTexts() const;
    int shownChipCode() const;
    // Puts field texts and a chip into the edits, the chip first, as its
    // change may show the clock fields.
    void fillForm(const FieldTexts &texts, int chipCode);

    void connectMenus();
    void acceptConfigurationDrops();
    void saveConfiguration();
    void openConfiguration();
    void showSeriesWindow();
    void showNetworkWindow();
    // Aide (ui/helpmenu.cpp): the guide at the section of the window that
    // has the focus, and "À propos".
    void showGuide();
    void showAbout();
    // The network window marks the node whose address the form holds.
    void showFormAddressOnNetwork();
    // While a series runs, it alone writes to the node and reads it; the
    // search takes the node back once it ends.
    void seriesRunningChanged(bool running);
    // The form shows what the series read, and its numbers follow the series.
    void showSeriesRead(const NodeReport &configuration);
    void followSeries(UnitKind kind, int nextNumber);
    // The series' log and kind of the last time: the form's numbers and
    // curtain size start from them.
    void restoreSeriesChoices();
    // The form's numbers go on after those the series' log holds.
    void followLog(int nextNumber);

    // "Ajouter" with a series log chosen (ui/loggedunits.cpp): the number
    // is reserved in the log before the node is written (false: refused,
    // and said), and its result row stored once the node was read back.
    QString chosenSeriesLog() const;
    bool reserveInLog(UnitKind kind, int number, const NodeReport &preset);
    void storeUnitResult(const QString &result, bool nodeWritten);
    // After a read attempt: the result of a logged "Ajouter".
    void settleLoggedUnit(bool readBack);
    void setWritingEnabled(bool enabled);
    // The report a send or a save encodes the form onto: the one last read
    // or written, with the reserved bytes of an opened file, as a load
    // writes them.
    NodeReport encodingBase() const;
    // What a save writes: the form encoded onto that base.
    NodeReport formReport() const;
    // A file name from the node's address in the form.
    QString proposedFileName() const;
    // Says how a file operation went: a short status line, the details
    // (file name, reason) in the status bar.
    void reportFileOutcome(const char *status, const QString &details);

    Ui::MainWindowUi *ui;
    SeriesWindow *seriesWindow = nullptr; // made when first asked for
    NetworkWindow *networkWindow = nullptr; // likewise
    GuideWindow *guideWindow = nullptr; // likewise
    NetworkReach networkReach;
    bool seriesRunning = false;
    // The configuration file the form shows until a command's write reaches
    // the node and the node is read back: a node read meanwhile leaves the
    // form as opened, so that it can be cloned onto a node plugged in after
    // the file was opened, or sent again after a failed write.
    QString openedFile;
    bool awaitingReadBack = false; // a write since the file was opened succeeded
    int formChipCode = 0; // the chip code the form last showed, listed or not
    NodeReport openedReport{}; // its configuration, reserved bytes included
    std::unique_ptr<SeriesLog> unitLog;     // the log of the last logged "Ajouter"
    std::unique_ptr<SeriesRow> loggedUnit;  // its reservation, until its result is stored
    NodeReport loggedPreset{};              // what it wrote
};
