// The window as it stands right after construction: its widgets, their
// places and texts, the tab chain, the validators, the lists and the icon.

#include "app/sharedstate.h"
#include "sim/fakehid.h"
#include "testsupport.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleValidator>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

constexpr int FormWidgetCount = 57;
const char *const WaitingText = "En attente de node";
const QStringList FrequencyWidgetNames = {"spi1freq", "lSpi1Freq", "spi2freq", "lSpi2Freq"};

const QStringList TabChain = {
    "ipa1",   "ipa2",      "ipa3",     "ipa4",       "ipm1",       "ipm2",        "ipm3",
    "ipm4",   "ipb1",      "ipb2",     "ipb3",       "ipb4",       "offset",      "output",
    "spi1freq", "spi1p1",  "spi1p2",   "spi1p3",     "spi1p4",     "spi1p5",      "spi1p6",
    "spi1p7", "spi1p8",    "spi2freq", "spi2p1",     "spi2p2",     "spi2p3",      "spi2p4",
    "spi2p5", "spi2p6",    "spi2p7",   "spi2p8",     "bSend",      "numRideau",   "cbRideau",
    "bAddRideau", "numCostume", "bAddCostume", "bReset"};

// What a row of the layout table says of a label; Default means the
// property keeps the value a new label has.
constexpr int Default = -1;
constexpr int RightAligned = Qt::AlignRight | Qt::AlignVCenter;

std::unique_ptr<MainWindow> newWindow()
{
    resetSharedState();
    return std::make_unique<MainWindow>();
}

template <typename T> T *child(const MainWindow &window, const QString &name)
{
    T *const widget = window.findChild<T *>(name);
    if (!widget)
        qWarning("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
    return widget;
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void formWidget_data();
    void formWidget();
    void windowFrame();
    void tabChain();
    void tabKey_data();
    void tabKey();
    void typing_data();
    void typing();
    void comboLists_data();
    void comboLists();
    void initialState();
    void menuEntries_data();
    void menuEntries();
    void searchTimerRunsSearch();
    void icon();
};

void TestWindow::formWidget_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");   // null: the widget has no text to check
    QTest::addColumn<int>("frameShape"); // labels only
    QTest::addColumn<int>("frameShadow");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QString>("validator"); // line edits only: "byte" or "frequency"

    const auto label = [](const char *name, QRect geometry, const QString &text,
                          int alignment = Default, int shape = Default, int shadow = Default) {
        QTest::newRow(name) << "QLabel" << geometry << text << shape << shadow << alignment
                            << QString();
    };
    const auto edit = [](const char *name, QRect geometry, const char *validator,
                         const QString &text = QString("")) {
        QTest::newRow(name) << "QLineEdit" << geometry << text << Default << Default << Default
                            << QString(validator);
    };
    const auto other = [](const char *name, const char *className, QRect geometry,
                          const QString &text = QString()) {
        QTest::newRow(name) << className << geometry << text << Default << Default << Default
                            << QString();
    };

    label("display", {400, 130, 241, 20}, WaitingText, Default, QFrame::StyledPanel, QFrame::Raised);
    label("label", {20, 20, 100, 16}, "IP", RightAligned);
    label("label_2", {20, 60, 100, 16}, "IP Mask", RightAligned);
    label("label_3", {20, 100, 100, 16}, "IP Broadcast", RightAligned);
    label("label_4", {20, 150, 100, 16}, "Offset Univers", RightAligned);
    label("label_5", {20, 190, 100, 31}, "Output", RightAligned);
    label("lSpi1Freq", {20, 250, 100, 16}, "SPI1 Freq MHz", RightAligned);
    label("label_7", {20, 290, 100, 16}, "SPI1 Patch", RightAligned);
    label("lSpi2Freq", {20, 330, 100, 16}, "SPI2 Freq MHz", RightAligned);
    label("label_9", {20, 370, 100, 16}, "SPI2 Patch", RightAligned);
    edit("ipa1", {140, 10, 50, 30}, "byte");
    edit("ipa2", {200, 10, 50, 30}, "byte");
    edit("ipa3", {260, 10, 50, 30}, "byte");
    edit("ipa4", {320, 10, 50, 30}, "byte");
    edit("ipm1", {140, 50, 50, 30}, "byte");
    edit("ipm3", {260, 50, 50, 30}, "byte");
    edit("ipm4", {320, 50, 50, 30}, "byte");
    edit("ipm2", {200, 50, 50, 30}, "byte");
    edit("ipb1", {140, 90, 50, 30}, "byte");
    edit("ipb3", {260, 90, 50, 30}, "byte");
    edit("ipb4", {320, 90, 50, 30}, "byte");
    edit("ipb2", {200, 90, 50, 30}, "byte");
    edit("spi1p1", {140, 280, 50, 30}, "byte");
    edit("spi1p3", {260, 280, 50, 30}, "byte");
    edit("spi1p4", {320, 280, 50, 30}, "byte");
    edit("spi1p2", {200, 280, 50, 30}, "byte");
    edit("spi1p6", {440, 280, 50, 30}, "byte");
    edit("spi1p7", {500, 280, 50, 30}, "byte");
    edit("spi1p5", {380, 280, 50, 30}, "byte");
    edit("spi1p8", {560, 280, 50, 30}, "byte");
    edit("spi2p2", {200, 360, 50, 30}, "byte");
    edit("spi2p3", {260, 360, 50, 30}, "byte");
    edit("spi2p8", {560, 360, 50, 30}, "byte");
    edit("spi2p1", {140, 360, 50, 30}, "byte");
    edit("spi2p4", {320, 360, 50, 30}, "byte");
    edit("spi2p7", {500, 360, 50, 30}, "byte");
    edit("spi2p6", {440, 360, 50, 30}, "byte");
    edit("spi2p5", {380, 360, 50, 30}, "byte");
    edit("offset", {140, 140, 50, 30}, "byte");
    edit("spi1freq", {140, 240, 50, 30}, "frequency");
    edit("spi2freq", {140, 320, 50, 30}, "frequency");
    other("output", "QComboBox", {130, 190, 150, 26});
    other("bSend", "QPushButton", {390, 160, 261, 81}, "Envoyer");
    other("bReset", "QPushButton", {500, 520, 151, 41}, QString::fromUtf8("Paramètres d'usine rideau"));
    label("label_10", {400, 20, 81, 16}, "Max Univers :");
    label("maxUnivers", {490, 20, 59, 16}, "0");
    label("display2", {400, 110, 241, 20}, "", Default, QFrame::StyledPanel);
    label("display3", {400, 90, 241, 20}, "", Default, QFrame::StyledPanel);
    label("display4", {400, 70, 241, 20}, "", Default, QFrame::StyledPanel);
    other("bAddRideau", "QPushButton", {10, 520, 191, 41}, "Ajouter");
    label("label_11", {33, 460, 121, 16}, QString::fromUtf8("Ajouter rideau n\u00b0"));
    edit("numRideau", {140, 450, 50, 30}, "byte", "1");
    edit("numCostume", {360, 450, 50, 30}, "byte", "1");
    label("label_12", {240, 460, 121, 16}, QString::fromUtf8("Ajouter costume n\u00b0"));
    other("bAddCostume", "QPushButton", {220, 520, 201, 41}, "Ajouter");
    label("sep", {-30, 420, 700, 2}, "", Default, QFrame::StyledPanel);
    other("cbRideau", "QComboBox", {53, 490, 101, 26});
}

void TestWindow::formWidget()
{
    QFETCH(QString, className);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(int, frameShape);
    QFETCH(int, frameShadow);
    QFETCH(int, alignment);
    QFETCH(QString, validator);
    const QString name = QString::fromLatin1(QTest::currentDataTag());

    const auto window = newWindow();
    QWidget *const widget = child<QWidget>(*window, name);
    QVERIFY(widget);
    QCOMPARE(QString(widget->metaObject()->className()), className);
    QVERIFY(widget->parentWidget());
    QCOMPARE(widget->parentWidget()->objectName(), QString("centralWidget"));
    QCOMPARE(widget->parentWidget(), window->centralWidget());
    QCOMPARE(widget->geometry(), geometry);
    if (!text.isNull())
        QCOMPARE(widget->property("text").toString(), text);

    if (auto *const label = qobject_cast<QLabel *>(widget)) {
        QCOMPARE(int(label->frameShape()), frameShape == Default ? int(QFrame::NoFrame) : frameShape);
        QCOMPARE(int(label->frameShadow()), frameShadow == Default ? int(QFrame::Plain) : frameShadow);
        QCOMPARE(int(label->alignment()),
                 alignment == Default ? int(Qt::AlignLeft | Qt::AlignVCenter) : alignment);
        QCOMPARE(label->layoutDirection(), Qt::LeftToRight);
    }

    if (auto *const edit = qobject_cast<QLineEdit *>(widget)) {
        QVERIFY(!edit->isReadOnly());
        QVERIFY(edit->placeholderText().isEmpty());
        QCOMPARE(edit->maxLength(), QLineEdit().maxLength());
        QCOMPARE(edit->inputMethodHints(),
                 Qt::InputMethodHints(name == "ipa1" ? Qt::ImhDigitsOnly : Qt::ImhNone));

        // One validator of each kind is shared by all the edits of that kind.
        const auto bytes = window->findChildren<QIntValidator *>();
        const auto clocks = window->findChildren<QDoubleValidator *>();
        QCOMPARE(bytes.size(), 1);
        QCOMPARE(clocks.size(), 1);
        if (validator == "byte") {
            QCOMPARE(edit->validator(), static_cast<const QValidator *>(bytes.first()));
            QCOMPARE(bytes.first()->bottom(), 0);
            QCOMPARE(bytes.first()->top(), 255);
        } else {
            QCOMPARE(edit->validator(), static_cast<const QValidator *>(clocks.first()));
            QCOMPARE(clocks.first()->bottom(), 0.05);
            QCOMPARE(clocks.first()->top(), 12.75);
            QCOMPARE(clocks.first()->decimals(), 2);
            QCOMPARE(clocks.first()->notation(), QDoubleValidator::StandardNotation);
        }
    }
}

void TestWindow::menuEntries_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<int>("position"); // among the menu's entries, separators included
    QTest::addColumn<QString>("text");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::addColumn<Qt::ShortcutContext>("context");

    const Qt::ShortcutContext inWindow = Qt::WindowShortcut;
    QTest::newRow("open") << "menuFile" << 0 << "&Ouvrir une configuration…"
                          << QKeySequence(QKeySequence::Open) << inWindow;
    QTest::newRow("save") << "menuFile" << 1 << "&Enregistrer la configuration…"
                          << QKeySequence(QKeySequence::Save) << inWindow;
    QTest::newRow("separator") << "menuFile" << 2 << "" << QKeySequence() << inWindow;
    QTest::newRow("quit") << "menuFile" << 3 << "&Quitter" << QKeySequence("Ctrl+Q") << inWindow;
    QTest::newRow("series") << "menuSeries" << 0 << "Série &automatique…" << QKeySequence()
                            << inWindow;
    QTest::newRow("network") << "menuNetwork" << 0 << "&Nodes sur le réseau…" << QKeySequence()
                             << inWindow;
    // F1 opens the guide from the series and network windows too.
    QTest::newRow("guide") << "menuHelp" << 0 << "&Guide d'utilisation" << QKeySequence("F1")
                           << Qt::ApplicationShortcut;
    QTest::newRow("help separator") << "menuHelp" << 1 << "" << QKeySequence() << inWindow;
    QTest::newRow("about") << "menuHelp" << 2 << "À &propos de nodeconfig" << QKeySequence()
                           << inWindow;
}

// Each entry of the menus, its text and its shortcut, which works
// wherever the focus is in the window.
void TestWindow::menuEntries()
{
    QFETCH(QString, menu);
    QFETCH(int, position);
    QFETCH(QString, text);
    QFETCH(QKeySequence, shortcut);
    QFETCH(Qt::ShortcutContext, context);

    const auto window = newWindow();
    const QList<QAction *> entries = child<QMenu>(*window, menu)->actions();
    QVERIFY(position < entries.size());
    const QAction *const entry = entries[position];
    QCOMPARE(entry->isSeparator(), text.isEmpty());
    QCOMPARE(entry->text(), text);
    QCOMPARE(entry->shortcut(), shortcut);
    QCOMPARE(entry->shortcutContext(), context);
}

void TestWindow::windowFrame()
{
    const auto window = newWindow();
    QCOMPARE(window->objectName(), QString("MainWindow"));
    QCOMPARE(window->windowTitle(), QString("MainWindow"));
    QCOMPARE(window->size(), QSize(666, 632));

    QWidget *const central = window->centralWidget();
    QVERIFY(central);
    QCOMPARE(central->objectName(), QString("centralWidget"));
    QCOMPARE(central->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly).size(),
             FormWidgetCount);

    auto *const menuBar = child<QMenuBar>(*window, "menuBar");
    QVERIFY(menuBar);
    QCOMPARE(window->menuWidget(), static_cast<QWidget *>(menuBar));
    QCOMPARE(menuBar->geometry(), QRect(0, 0, 666, 21));
    QStringList menus;
    for (const QAction *const action : menuBar->actions())
        menus << action->text();
    QCOMPARE(menus, QStringList({"&Fichier", "&Série", "&Réseau", "&Aide"}));

    auto *const toolBar = child<QToolBar>(*window, "mainToolBar");
    QVERIFY(toolBar);
    QCOMPARE(toolBar->parentWidget(), static_cast<QWidget *>(window.get()));
    QCOMPARE(window->toolBarArea(toolBar), Qt::TopToolBarArea);
    QVERIFY(toolBar->actions().isEmpty());

    auto *const statusBar = child<QStatusBar>(*window, "statusBar");
    QVERIFY(statusBar);
    QCOMPARE(window->statusBar(), statusBar);
    QVERIFY(statusBar->currentMessage().isEmpty());

    // No layout: enlarging and shrinking the window moves nothing.
    QMap<QWidget *, QRect> places;
    for (QWidget *const widget : central->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        places.insert(widget, widget->geometry());
    window->show();
    for (const QSize size : {QSize(1000, 900), QSize(300, 200)}) {
        window->resize(size);
        QCoreApplication::processEvents();
        for (auto place = places.cbegin(); place != places.cend(); ++place)
            QCOMPARE(place.key()->geometry(), place.value());
    }
}

void TestWindow::tabChain()
{
    // The order of the 39 focusable widgets in the focus chain, whatever
    // other widgets sit between them.
    const auto window = newWindow();
    QWidget *const first = child<QWidget>(*window, TabChain.first());
    QVERIFY(first);
    QStringList order;
    QWidget *widget = first;
    do {
        if (TabChain.contains(widget->objectName()) && widget->parentWidget() == window->centralWidget())
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget && widget != first);
    QCOMPARE(order, TabChain);
}

void TestWindow::tabKey_data()
{
    QTest::addColumn<int>("chip");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("ipa4") << 0 << "ipa4" << "ipm1";
    QTest::newRow("ipm1 skips creation order") << 0 << "ipm1" << "ipm2";
    QTest::newRow("ipb4") << 0 << "ipb4" << "offset";
    QTest::newRow("offset") << 0 << "offset" << "output";
    QTest::newRow("output, clocks hidden") << 0 << "output" << "spi1p1";
    QTest::newRow("spi1p8, clocks hidden") << 0 << "spi1p8" << "spi2p1";
    QTest::newRow("output, clocks shown") << 2 << "output" << "spi1freq";
    QTest::newRow("spi1freq") << 2 << "spi1freq" << "spi1p1";
    QTest::newRow("spi1p8, clocks shown") << 3 << "spi1p8" << "spi2freq";
    QTest::newRow("spi2freq") << 3 << "spi2freq" << "spi2p1";
    QTest::newRow("spi2p8") << 0 << "spi2p8" << "bSend";
    QTest::newRow("bSend") << 0 << "bSend" << "numRideau";
    QTest::newRow("numRideau") << 0 << "numRideau" << "cbRideau";
    QTest::newRow("cbRideau") << 0 << "cbRideau" << "bAddRideau";
    QTest::newRow("bAddCostume") << 0 << "bAddCostume" << "bReset";
}

void TestWindow::tabKey()
{
    QFETCH(int, chip);
    QFETCH(QString, from);
    QFETCH(QString, to);

    const auto window = newWindow();
    child<QComboBox>(*window, "output")->setCurrentIndex(chip);
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));

    QWidget *const start = child<QWidget>(*window, from);
    QVERIFY(start);
    start->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), start);
    QTest::keyClick(start, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget());
    QCOMPARE(QApplication::focusWidget()->objectName(), to);
}

void TestWindow::typing_data()
{
    const QString point = QLocale().decimalPoint();
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::newRow("byte refuses 256") << "ipa1" << "256" << "25";
    QTest::newRow("byte refuses 300") << "ipm3" << "300" << "30";
    QTest::newRow("byte takes 255") << "offset" << "255" << "255";
    QTest::newRow("byte refuses minus") << "ipb2" << "-" << "";
    QTest::newRow("byte refuses minus before digits") << "spi2p7" << "-7" << "7";
    QTest::newRow("byte refuses letters") << "spi1p1" << "1a2" << "12";
    QTest::newRow("curtain number") << "numRideau" << "999" << "99";
    QTest::newRow("costume number") << "numCostume" << "-4" << "4";
    QTest::newRow("clock takes two decimals") << "spi1freq" << "0" + point + "05" << "0" + point + "05";
    QTest::newRow("clock refuses third decimal")
        << "spi1freq" << "1" + point + "234" << "1" + point + "23";
    QTest::newRow("clock lets 13 through") << "spi2freq" << "13" << "13";
    QTest::newRow("clock refuses minus") << "spi1freq" << "-1" << "1";
    QTest::newRow("clock refuses letters") << "spi2freq" << "x8" << "8";
}

void TestWindow::typing()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, text);

    const auto window = newWindow();
    auto *const edit = child<QLineEdit>(*window, field);
    QVERIFY(edit);
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), text);
}

void TestWindow::comboLists_data()
{
    QTest::addColumn<QString>("combo");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("output") << "output"
                            << QStringList{"TS3001",  "UCS1912/WS2812", "LPD6803",
                                           "SN16716", "DMX_512",        "SPI->DMX",
                                           "WS2812RGBW", "LPD1886 (4096 couleurs)"};
    QTest::newRow("cbRideau") << "cbRideau" << QStringList{"2X1", "3X2", "4X2"};
}

void TestWindow::comboLists()
{
    QFETCH(QString, combo);
    QFETCH(QStringList, items);

    const auto window = newWindow();
    auto *const box = child<QComboBox>(*window, combo);
    QVERIFY(box);
    QStringList actual;
    for (int i = 0; i < box->count(); ++i)
        actual << box->itemText(i);
    QCOMPARE(actual, items);
    QCOMPARE(box->currentIndex(), 0);
    QVERIFY(!box->isEditable());
}

void TestWindow::initialState()
{
    const auto window = newWindow();
    QCOMPARE(statusText, QString(WaitingText));
    for (const QString &name : FrequencyWidgetNames) {
        QWidget *const widget = child<QWidget>(*window, name);
        QVERIFY(widget);
        QVERIFY2(widget->isHidden(), qPrintable(name));
    }

    // The first refreshes find the status unchanged: one line only.
    processRefresh(*window);
    QCOMPARE(child<QLabel>(*window, "display")->text(), QString(WaitingText));
    for (const char *const line : {"display2", "display3", "display4"})
        QVERIFY2(child<QLabel>(*window, line)->text().isEmpty(), line);
    QCOMPARE(child<QLabel>(*window, "maxUnivers")->text(), QString("0"));
    QCOMPARE(child<QLineEdit>(*window, "ipa1")->text(), QString());
    for (const QString &name : FrequencyWidgetNames)
        QVERIFY2(child<QWidget>(*window, name)->isHidden(), qPrintable(name));
}

void TestWindow::searchTimerRunsSearch()
{
    // The window attaches the search timer but leaves starting it to start-up.
    const auto window = newWindow();
    QVERIFY(!searchTimer->isActive());
    const int before = fakehid::enumerationCount();
    QMetaObject::invokeMethod(searchTimer, "timeout");
    QVERIFY(fakehid::enumerationCount() > before);
}

void TestWindow::icon()
{
    const QString path = QStringLiteral(":/img/appicon.ico");
    QVERIFY(QFile::exists(path));
    QImageReader reader(path);
    QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
    QCOMPARE(reader.imageCount(), 6);

    QList<int> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.width(), image.height());
        QVERIFY(image.hasAlphaChannel());
        sizes << image.width();
    }
    std::sort(sizes.begin(), sizes.end());
    QCOMPARE(sizes, (QList<int>{16, 32, 48, 64, 128, 256}));

    const QIcon icon(path);
    QVERIFY(!icon.isNull());
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
