// Every text of the window shows whole in its fixed geometry, under the
// fonts Linux desktops use at the sizes they use, and on a scaled screen.
// The places where texts are drawn are worked out here on their own, from
// the style, so that a widget or a text the window forgets is caught.

#include "app/messages.h"
#include "app/qtbridge.h"
#include "testsupport.h"
#include "ui/fitmemory.h"
#include "ui/formfont.h"
#include "ui/mainwindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

#include <memory>

namespace {

const QStringList DesktopFonts = {"DejaVu Sans", "Noto Sans", "Cantarell", "Liberation Sans"};
const QList<qreal> DesktopPointSizes = {9, 10, 11};
// The smallest text the window may fall back to.
constexpr int ReadablePixelSize = 9;
const QSize WindowSize(666, 632);
// The styles draw a combo box's current item this far inside its edit field.
constexpr int ComboItemInset = 1;

QStringList statusMessages()
{
    QStringList messages;
    for (int index = 0; index < Status::Count; ++index)
        messages << message(Status::All[index]);
    return messages;
}

// A widget with a text, the texts it can show, and the sibling whose left
// edge ends the place where they are seen.
struct TextWidget
{
    const char *name;
    QStringList texts;
    const char *coveredBy;
};

QList<TextWidget> textWidgets()
{
    const QStringList messages = statusMessages();
    const QString degree = QString::fromUtf8("\u00b0");
    return {
        {"display", messages, ""},
        {"display2", messages, ""},
        {"display3", messages, ""},
        {"display4", messages, ""},
        {"label", {"IP"}, ""},
        {"label_2", {"IP Mask"}, ""},
        {"label_3", {"IP Broadcast"}, ""},
        {"label_4", {"Offset Univers"}, ""},
        {"label_5", {"Output"}, ""},
        {"lSpi1Freq", {"SPI1 Freq MHz"}, ""},
        {"label_7", {"SPI1 Patch"}, ""},
        {"lSpi2Freq", {"SPI2 Freq MHz"}, ""},
        {"label_9", {"SPI2 Patch"}, ""},
        {"output",
         {"TS3001", "UCS1912/WS2812", "LPD6803", "SN16716", "DMX_512", "SPI->DMX", "WS2812RGBW",
          "LPD1886 (4096 couleurs)"},
         ""},
        {"bSend", {"Envoyer"}, ""},
        {"bReset", {QString::fromUtf8("Param\u00e8tres d'usine rideau")}, ""},
        {"label_10", {"Max Univers :"}, ""},
        {"maxUnivers", {"0", "8", "16"}, ""},
        {"bAddRideau", {"Ajouter"}, ""},
        {"label_11", {"Ajouter rideau n" + degree}, "numRideau"},
        {"label_12", {"Ajouter costume n" + degree}, "numCostume"},
        {"bAddCostume", {"Ajouter"}, ""},
        {"cbRideau", {"2X1", "3X2", "4X2"}, ""},
    };
}

bool installed(const QString &family)
{
    return QFontInfo(QFont(family)).family() == family;
}

QFont desktopFont(const QString &family, qreal pointSize)
{
    QFont font(family);
    font.setPointSizeF(pointSize);
    return font;
}

// Where a widget draws its text, in its own coordinates, and how it aligns it.
struct TextPlace
{
    QRect rect;
    Qt::Alignment alignment;
};

TextPlace labelPlace(const QLabel &label)
{
    QRect rect = label.contentsRect();
    // A framed label keeps its text half an 'x' off the frame.
    if (label.frameWidth() > 0 && label.indent() < 0) {
        const int indent =
            label.fontMetrics().boundingRect(QRect(), Qt::TextSingleLine, "x").width() / 2;
        if (label.alignment() & Qt::AlignLeft)
            rect.setLeft(rect.left() + indent);
        if (label.alignment() & Qt::AlignRight)
            rect.setRight(rect.right() - indent);
    }
    return {rect, label.alignment()};
}

TextPlace buttonPlace(const QPushButton &button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    return {button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button),
            Qt::AlignCenter};
}

TextPlace comboPlace(const QComboBox &combo)
{
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.frame = combo.hasFrame();
    const QRect field = combo.style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                      QStyle::SC_ComboBoxEditField, &combo);
    return {field.adjusted(ComboItemInset, 0, -ComboItemInset, 0), Qt::AlignLeft | Qt::AlignVCenter};
}

TextPlace textPlace(const QWidget &widget)
{
    if (const auto *const label = qobject_cast<const QLabel *>(&widget))
        return labelPlace(*label);
    if (const auto *const button = qobject_cast<const QPushButton *>(&widget))
        return buttonPlace(*button);
    if (const auto *const combo = qobject_cast<const QComboBox *>(&widget))
        return comboPlace(*combo);
    return {widget.rect(), Qt::AlignLeft};
}

// Why a text is not seen whole where the widget draws it; empty if it is.
QString cutText(const QWidget &widget, const TextPlace &place, const QString &text)
{
    const QFontMetrics metrics(widget.font());
    const QRect laidOut = QStyle::alignedRect(
        Qt::LeftToRight, place.alignment,
        metrics.boundingRect(QRect(), Qt::TextSingleLine, text).size(), place.rect);
    const int left = laidOut.left();
    const int right = laidOut.right();
    if (left >= place.rect.left() && right <= place.rect.right()
        && metrics.tightBoundingRect(text).height() <= place.rect.height())
        return QString();
    return QString("\"%1\" takes x %2..%3 (%4 pt, stretch %5), seen in x %6..%7, height %8")
        .arg(text)
        .arg(left)
        .arg(right)
        .arg(widget.font().pointSizeF())
        .arg(widget.font().stretch())
        .arg(place.rect.left())
        .arg(place.rect.right())
        .arg(place.rect.height());
}

// The font a new window fits its form to under a platform font, keeping
// what it finds in a file (none: it keeps nothing).
QFont fittedFont(const QFont &platformFont, const QString &memory)
{
    QApplication::setFont(platformFont);
    resetSharedState();
    rememberFitIn(memory);
    const MainWindow window;
    rememberFitIn(QString());
    return window.centralWidget()->font();
}

// The search's order: each size from its normal width down to the narrowest
// in these steps, then the next size down.
constexpr int StretchStep = 5;
constexpr int NarrowestStretch = 80;
constexpr int FarOutOfRange = 1000000;
// Qt 5 gives a widget's scale in 65536ths.
constexpr qreal RatioPrecision = 1.0 / 65536;

// The ways a kept fit goes wrong: left by other fonts or another version,
// or damaged.
enum class Spoilt {
    StepBefore,       // not everything fits there
    StepAfter,        // everything fits, but also in the step before
    StretchNotTried,  // a step the search never tries
    SizeAboveFirst,
    FarTooManySizes,
    MisfitOutOfRange, // the text that failed the step before is no text
    OtherFingerprint,
    NotAFit,
    Empty,
    FolderInItsPlace, // neither read nor written
};

} // namespace

Q_DECLARE_METATYPE(Spoilt)

namespace {

// Puts a kept fit gone wrong in place of the right one; false if the fit
// found has no step before it.
bool spoil(const QString &file, Spoilt how, RememberedFit fit)
{
    QFile::remove(file);
    QFile raw(file);
    switch (how) {
    case Spoilt::StepBefore:
        if (fit.stretch < QFont::Unstretched)
            fit.stretch += StretchStep;
        else if (fit.sizeSteps > 0)
            fit = {fit.fingerprint, fit.sizeSteps - 1, NarrowestStretch, fit.misfitItem, fit.misfitText};
        else
            return false;
        break;
    case Spoilt::StepAfter:
        if (fit.stretch > NarrowestStretch)
            fit.stretch -= StretchStep;
        else
            fit = {fit.fingerprint, fit.sizeSteps + 1, QFont::Unstretched, fit.misfitItem, fit.misfitText};
        break;
    case Spoilt::StretchNotTried:
        fit.stretch -= StretchStep / 2;
        break;
    case Spoilt::SizeAboveFirst:
        fit.sizeSteps = -1;
        break;
    case Spoilt::FarTooManySizes:
        fit.sizeSteps = FarOutOfRange;
        break;
    case Spoilt::MisfitOutOfRange:
        fit.misfitItem = FarOutOfRange;
        break;
    case Spoilt::OtherFingerprint:
        fit.fingerprint[0] = static_cast<char>(~fit.fingerprint[0]);
        break;
    case Spoilt::NotAFit:
        return raw.open(QIODevice::WriteOnly) && raw.write("[Fonts]\nsize=10\n") > 0;
    case Spoilt::Empty:
        return raw.open(QIODevice::WriteOnly);
    case Spoilt::FolderInItsPlace:
        return QDir().mkdir(file);
    }
    writeRememberedFit(file, fit);
    return true;
}

qreal userScaleFactor()
{
    const QByteArray factor = qgetenv("QT_SCALE_FACTOR");
    return factor.isEmpty() ? 1.0 : factor.toDouble();
}

} // namespace

class TestFonts : public QObject
{
    Q_OBJECT

private slots:
    void textsFit_data();
    void textsFit();
    void fittingFontKept();
    void listOpensInTheFormFont_data();
    void listOpensInTheFormFont();
    void keptFitIsTheSearchedOne_data();
    void keptFitIsTheSearchedOne();
    void spoiltKeptFitSearchedAgain_data();
    void spoiltKeptFitSearchedAgain();
    void windowScalesAsAWhole();

private:
    MainWindow &windowIn(const QFont &font);

    std::unique_ptr<MainWindow> window;
    QFont windowFont;
};

// Rows of one font come together, so their window is made once.
MainWindow &TestFonts::windowIn(const QFont &font)
{
    if (!window || !(font == windowFont)) {
        window.reset();
        QApplication::setFont(font);
        resetSharedState();
        window = std::make_unique<MainWindow>();
        windowFont = font;
    }
    return *window;
}

void TestFonts::textsFit_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<qreal>("pointSize");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("coveredBy");

    const QList<TextWidget> widgets = textWidgets();
    for (const QString &family : DesktopFonts)
        for (const qreal size : DesktopPointSizes)
            for (const TextWidget &widget : widgets)
                QTest::addRow("%s %gpt %s", qPrintable(family), size, widget.name)
                    << family << size << QString(widget.name) << widget.texts
                    << QString(widget.coveredBy);
}

void TestFonts::textsFit()
{
    QFETCH(QString, family);
    QFETCH(qreal, pointSize);
    QFETCH(QString, widget);
    QFETCH(QStringList, texts);
    QFETCH(QString, coveredBy);
    if (!installed(family))
        QSKIP(qPrintable(family + " is not installed"));

    const MainWindow &shown = windowIn(desktopFont(family, pointSize));
    const QWidget *const target = shown.findChild<QWidget *>(widget);
    QVERIFY2(target, qPrintable("no widget " + widget));
    TextPlace place = textPlace(*target);
    if (!coveredBy.isEmpty()) {
        const QWidget *const cover = shown.findChild<QWidget *>(coveredBy);
        QVERIFY(cover);
        QVERIFY(cover->x() > target->x());
        place.rect.setRight(qMin(place.rect.right(), cover->x() - target->x() - 1));
    }
    for (const QString &text : texts) {
        const QString cut = cutText(*target, place, text);
        QVERIFY2(cut.isEmpty(), qPrintable(cut));
    }
    QVERIFY(QFontInfo(target->font()).pixelSize() >= ReadablePixelSize);
}

void TestFonts::fittingFontKept()
{
    // Small enough for every text, as a platform font drawn for this form is.
    const QFont small = desktopFont("DejaVu Sans", 6);
    if (!installed(small.family()))
        QSKIP("DejaVu Sans is not installed");
    const MainWindow &shown = windowIn(small);
    QCOMPARE(shown.centralWidget()->font(), QApplication::font());
}

void TestFonts::listOpensInTheFormFont_data()
{
    QTest::addColumn<QString>("combo");
    QTest::newRow("chips") << "output";
    QTest::newRow("curtain sizes") << "cbRideau";
}

// A combo box's list, made when it is first opened, shows its items in the
// form's fitted font, as the combo box does.
void TestFonts::listOpensInTheFormFont()
{
    QFETCH(QString, combo);
    // Too wide for the form: the form gets a font of its own.
    const QFont platformFont = desktopFont("DejaVu Sans", 11);
    if (!installed(platformFont.family()))
        QSKIP("DejaVu Sans is not installed");
    MainWindow &shown = windowIn(platformFont);
    auto *const list = shown.findChild<QComboBox *>(combo);
    QVERIFY(list);
    QVERIFY(!(list->font() == platformFont));
    list->showPopup();
    QCOMPARE(list->view()->font(), list->font());
    QCOMPARE(list->view()->window()->font(), list->font());
    list->hidePopup();
}

void TestFonts::keptFitIsTheSearchedOne_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<qreal>("pointSize");
    for (const QString &family : DesktopFonts)
        for (const qreal size : DesktopPointSizes)
            QTest::addRow("%s %gpt", qPrintable(family), size) << family << size;
}

// A start that finds its font kept shows the very font a search finds, and
// takes the kept one as it is.
void TestFonts::keptFitIsTheSearchedOne()
{
    QFETCH(QString, family);
    QFETCH(qreal, pointSize);
    if (!installed(family))
        QSKIP(qPrintable(family + " is not installed"));
    window.reset();
    const QFont platformFont = desktopFont(family, pointSize);
    const QFont searched = fittedFont(platformFont, QString());
    const QTemporaryDir cache;
    const QString memory = cache.filePath("nodeconfig/fitted-font");

    QCOMPARE(fittedFont(platformFont, memory), searched);
    const std::optional<RememberedFit> kept = readRememberedFit(memory);
    if (searched == QApplication::font()) {
        QVERIFY2(!kept, "a platform font that fits needs nothing kept");
        return;
    }
    QVERIFY(kept);
    // The text kept for the step before only says which text to measure
    // first: another one still makes the kept fit right, and it is used as
    // it is rather than searched for and kept again.
    RememberedFit marked = *kept;
    marked.misfitText = 0;
    marked.misfitItem = kept->misfitItem == 0 && kept->misfitText == 0 ? 1 : 0;
    writeRememberedFit(memory, marked);
    QCOMPARE(fittedFont(platformFont, memory), searched);
    QCOMPARE(readRememberedFit(memory)->misfitItem, marked.misfitItem);
}

void TestFonts::spoiltKeptFitSearchedAgain_data()
{
    QTest::addColumn<Spoilt>("spoilt");
    QTest::addColumn<bool>("keptAgain");
    QTest::newRow("the step before, too wide") << Spoilt::StepBefore << true;
    QTest::newRow("the step after, not the first fit") << Spoilt::StepAfter << true;
    QTest::newRow("a stretch never tried") << Spoilt::StretchNotTried << true;
    QTest::newRow("a size above the platform's") << Spoilt::SizeAboveFirst << true;
    QTest::newRow("far too many sizes down") << Spoilt::FarTooManySizes << true;
    QTest::newRow("a misfit that is no text") << Spoilt::MisfitOutOfRange << true;
    QTest::newRow("another fingerprint") << Spoilt::OtherFingerprint << true;
    QTest::newRow("not a fit") << Spoilt::NotAFit << true;
    QTest::newRow("empty") << Spoilt::Empty << true;
    QTest::newRow("a folder in its place") << Spoilt::FolderInItsPlace << false;
}

// A kept fit that the search would not stop at, or that cannot be read, is
// searched again and kept right, wherever it can be written.
void TestFonts::spoiltKeptFitSearchedAgain()
{
    QFETCH(Spoilt, spoilt);
    QFETCH(bool, keptAgain);
    // Too wide for the form: the search goes a few sizes down.
    const QFont platformFont = desktopFont("DejaVu Sans", 11);
    if (!installed(platformFont.family()))
        QSKIP("DejaVu Sans is not installed");
    window.reset();
    const QFont searched = fittedFont(platformFont, QString());
    const QTemporaryDir cache;
    const QString memory = cache.filePath("fitted-font");
    fittedFont(platformFont, memory);
    const std::optional<RememberedFit> kept = readRememberedFit(memory);
    QVERIFY2(kept, "the platform font fits: nothing to spoil");
    if (!spoil(memory, spoilt, *kept))
        QSKIP("the fit found cannot be spoilt that way: it is the first step");

    QCOMPARE(fittedFont(platformFont, memory), searched);
    const std::optional<RememberedFit> after = readRememberedFit(memory);
    QCOMPARE(after.has_value(), keptAgain);
    if (after) {
        QCOMPARE(after->fingerprint, kept->fingerprint);
        QCOMPARE(after->sizeSteps, kept->sizeSteps);
        QCOMPARE(after->stretch, kept->stretch);
    }
}

// At the screen's own scale, unrounded: the user's factor times the one the
// screen's DPI gives (Qt 5's offscreen screen has 100 DPI, Qt 6's 96).
void TestFonts::windowScalesAsAWhole()
{
    window.reset();
    resetSharedState();
    MainWindow shown;
    shown.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shown));
    const qreal ratio = shown.windowHandle()->screen()->devicePixelRatio();
    QVERIFY(ratio >= userScaleFactor());
    QVERIFY2(qAbs(shown.devicePixelRatioF() - ratio) < RatioPrecision,
             qPrintable(QString::number(shown.devicePixelRatioF())));
    QCOMPARE(shown.size(), WindowSize);
    // Its pixels, to the nearest one either way at a fractional scale.
    const QSizeF pixels = QSizeF(WindowSize) * ratio;
    const QSize grabbed = shown.grab().size();
    QVERIFY2(qAbs(grabbed.width() - pixels.width()) < 1 && qAbs(grabbed.height() - pixels.height()) < 1,
             qPrintable(QStringLiteral("%1x%2").arg(grabbed.width()).arg(grabbed.height())));
}

// The window is made as the tool makes it: the scaling is chosen before the
// application object.
int main(int argc, char *argv[])
{
    enableHighDpiScaling();
    QApplication app(argc, argv);
    TestFonts test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fonts.moc"
