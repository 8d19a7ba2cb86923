// The window's "Aide" menu, through the real window: F1 or "Guide
// d'utilisation" opens the guide at the part for the window the user is
// in, and its search finds words whatever their accents; "À propos" says
// which version runs on which Qt and where this user's settings are.

#include "app/version.h"
#include "testsupport.h"
#include "ui/guidewindow.h"
#include "ui/mainwindow.h"
#include "ui/networkwindow.h"
#include "ui/serieswindow.h"
#include "ui/usersettings.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

namespace {

enum class Opened { Form, Series, Network };

// How the user asks for the guide.
enum class Asked { F1, Menu };

std::unique_ptr<MainWindow> newWindow()
{
    resetSharedState();
    return std::make_unique<MainWindow>();
}

QAction *action(const MainWindow &window, const char *name)
{
    return window.findChild<QAction *>(QString::fromLatin1(name));
}

GuideWindow::Section sectionOf(Opened opened)
{
    switch (opened) {
    case Opened::Series: return GuideWindow::Section::Series;
    case Opened::Network: return GuideWindow::Section::Network;
    case Opened::Form: break;
    }
    return GuideWindow::Section::Form;
}

QString labelText(const QWidget &dialog, const char *name)
{
    const auto *const label = dialog.findChild<QLabel *>(QString::fromLatin1(name));
    return label ? label->text() : QString();
}

} // namespace

Q_DECLARE_METATYPE(Opened)
Q_DECLARE_METATYPE(Asked)

class TestHelpMenu : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void guideOpensAtTheWindowInUse_data();
    void guideOpensAtTheWindowInUse();
    void everySectionIsInTheGuide();
    void searchIgnoresAccentsAndCapitals_data();
    void searchIgnoresAccentsAndCapitals();
    void aboutSaysVersionsAndPlaces();

private:
    // Where the network window listens and polls in this test: loopback,
    // a port of the test's own, so that nothing leaves the machine.
    QUdpSocket silentNode;
};

void TestHelpMenu::init()
{
    if (silentNode.state() != QAbstractSocket::BoundState)
        QVERIFY(silentNode.bind(QHostAddress(QHostAddress::LocalHost), 0));
}

void TestHelpMenu::guideOpensAtTheWindowInUse_data()
{
    QTest::addColumn<Opened>("opened");
    QTest::addColumn<Asked>("asked");

    QTest::newRow("form, F1") << Opened::Form << Asked::F1;
    QTest::newRow("form, menu") << Opened::Form << Asked::Menu;
    QTest::newRow("series window, F1") << Opened::Series << Asked::F1;
    QTest::newRow("network window, F1") << Opened::Network << Asked::F1;
}

void TestHelpMenu::guideOpensAtTheWindowInUse()
{
    QFETCH(Opened, opened);
    QFETCH(Asked, asked);

    const auto window = newWindow();
    NetworkReach reach;
    reach.bindAddress = QHostAddress(QHostAddress::LocalHost);
    reach.bindPort = 0;
    reach.fixed = true;
    reach.targets = {{QHostAddress(QHostAddress::LocalHost), silentNode.localPort()}};
    window->setNetworkReach(reach);
    window->show();
    QWidget *inUse = window.get();
    if (opened == Opened::Series) {
        action(*window, "actionSeries")->trigger();
        inUse = window->findChild<SeriesWindow *>();
    } else if (opened == Opened::Network) {
        action(*window, "actionNetwork")->trigger();
        inUse = window->networkWindowShown();
    }
    QVERIFY(inUse);
    inUse->activateWindow();
    // A window of the program counts as active while the main one is: wait
    // for the system to have made this one the active window itself.
    QTRY_COMPARE(QApplication::activeWindow(), inUse);

    if (asked == Asked::F1)
        QTest::keyClick(inUse, Qt::Key_F1);
    else
        action(*window, "actionGuide")->trigger();

    GuideWindow *const guide = window->guideWindowShown();
    QVERIFY(guide);
    QVERIFY(guide->isVisible());
    const QString expected = guide->sectionTitle(sectionOf(opened));
    QVERIFY(!expected.isEmpty());
    QTRY_COMPARE(guide->headingShown(), expected);
}

// Each part of the guide the windows open it at is there, and the window
// shows the guide's pictures, read from the program's own resources.
void TestHelpMenu::everySectionIsInTheGuide()
{
    GuideWindow guide(nullptr);
    for (const GuideWindow::Section section :
         {GuideWindow::Section::Form, GuideWindow::Section::Series, GuideWindow::Section::Network})
        QVERIFY(!guide.sectionTitle(section).isEmpty());
    QVERIFY(QFile::exists(GuideWindow::Source));
}

void TestHelpMenu::searchIgnoresAccentsAndCapitals_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("found"); // as the guide writes it

    // Words the guide cannot do without, typed as a hurried user would.
    QTest::newRow("no accent") << "serie" << "série";
    QTest::newRow("capitals") << "RESEAU" << "réseau";
    QTest::newRow("as written") << "node" << "node";
    QTest::newRow("absent") << "zzzzqx" << "";
}

void TestHelpMenu::searchIgnoresAccentsAndCapitals()
{
    QFETCH(QString, typed);
    QFETCH(QString, found);

    GuideWindow guide(nullptr);
    guide.show();
    auto *const search = guide.findChild<QLineEdit *>("search");
    auto *const text = guide.findChild<QTextBrowser *>("text");
    QTest::keyClicks(search, typed);
    QTest::keyClick(search, Qt::Key_Return);
    QCOMPARE(text->textCursor().selectedText().toLower(), found);
    QCOMPARE(labelText(guide, "searchResult").isEmpty(), !found.isEmpty());
}

void TestHelpMenu::aboutSaysVersionsAndPlaces()
{
    const QTemporaryDir folder;
    rememberConfigurationFolder(folder.filePath(QStringLiteral("node.json")));
    const auto window = newWindow();
    window->show();
    action(*window, "actionAbout")->trigger();
    QDialog *const about = window->findChild<QDialog *>("AboutDialog");
    QVERIFY(about);
    QTRY_VERIFY(about->isVisible());

    QVERIFY(labelText(*about, "title").endsWith(QStringLiteral(EXPECTED_VERSION)));
    QVERIFY(labelText(*about, "qtVersion").startsWith(QString::fromLatin1(qVersion())));
    QVERIFY(!labelText(*about, "licence").isEmpty());
    QVERIFY(labelText(*about, "configurationFolder").contains(QDir::toNativeSeparators(folder.path())));
    // The settings shown are the file this user's settings are really in.
    QFile settings(labelText(*about, "settingsLocation"));
    QVERIFY2(settings.open(QIODevice::ReadOnly), qPrintable(settings.fileName()));
    QVERIFY(settings.readAll().contains(QDir(folder.path()).dirName().toUtf8()));
    about->close();
    clearTestSettings();
}

QTEST_MAIN(TestHelpMenu)
#include "tst_helpmenu.moc"
