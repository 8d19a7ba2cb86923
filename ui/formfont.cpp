#include "ui/formfont.h"

#include "ui/fitmemory.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDataStream>
#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRawFont>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>

#include <algorithm>
#include <list>
#include <optional>
#include <vector>

namespace {

// Readability floors. Below the smallest size the form is shown in that size
// even if a text is still cut: a cut letter reads better than a blur.
constexpr int MinimumPixelSize = 9;
constexpr int MinimumStretch = 80; // percent of the normal width
constexpr int StretchStep = 5;
constexpr qreal PointSizeStep = 0.5;
// The styles draw a combo box's current item this far inside its edit field.
constexpr int ComboLabelInset = 1;

// How a candidate font differs from the one each widget already has.
struct FontShape
{
    qreal pointSize;
    int stretch;
};

QFont shaped(QFont font, const FontShape &shape)
{
    font.setPointSizeF(shape.pointSize);
    font.setStretch(shape.stretch);
    return font;
}

QStringList currentTexts(const QWidget *widget)
{
    if (const auto *const label = qobject_cast<const QLabel *>(widget))
        return {label->text()};
    if (const auto *const button = qobject_cast<const QPushButton *>(widget))
        return {button->text()};
    QStringList items;
    if (const auto *const combo = qobject_cast<const QComboBox *>(widget))
        for (int index = 0; index < combo->count(); ++index)
            items << combo->itemText(index);
    return items;
}

// Every text a child can show. Longest first: the longest text is the
// likeliest not to fit, and a child's check stops at its first text that
// does not.
QStringList textsShownBy(const QWidget *child, const LaterTexts &laterTexts)
{
    QStringList texts = currentTexts(child) + laterTexts.value(child);
    texts.removeAll(QString());
    std::stable_sort(texts.begin(), texts.end(),
                     [](const QString &one, const QString &other) { return one.size() > other.size(); });
    return texts;
}

// Where QLabel lays out its text: inside its frame and margin and, when it
// is framed and has no indent of its own, half an 'x' in from the side it is
// aligned to.
QRect labelTextRect(const QLabel *label, const QFontMetrics &metrics)
{
    const int margin = label->margin();
    QRect rect = label->contentsRect().adjusted(margin, margin, -margin, -margin);
    int indent = label->indent();
    if (indent < 0 && label->frameWidth() > 0)
        indent = metrics.boundingRect(QRect(), Qt::TextSingleLine, QStringLiteral("x")).width() / 2;
    if (indent <= 0)
        return rect;
    const Qt::Alignment alignment =
        QStyle::visualAlignment(label->layoutDirection(), label->alignment());
    if (alignment & Qt::AlignLeft)
        rect.setLeft(rect.left() + indent);
    else if (alignment & Qt::AlignRight)
        rect.setRight(rect.right() - indent);
    if (alignment & Qt::AlignTop)
        rect.setTop(rect.top() + indent);
    else if (alignment & Qt::AlignBottom)
        rect.setBottom(rect.bottom() - indent);
    return rect;
}

QRect buttonTextRect(const QPushButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    if (button->autoDefault() || button->isDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    if (button->isFlat())
        option.features |= QStyleOptionButton::Flat;
    return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
}

QRect comboTextRect(const QComboBox *combo)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                       QStyle::SC_ComboBoxEditField, combo);
    return field.adjusted(ComboLabelInset, 0, -ComboLabelInset, 0);
}

// The part of a widget's text rectangle, in its parent's coordinates, that no
// sibling beside it covers.
QRect uncoveredTextArea(const QWidget *widget, const QRect &textRect)
{
    QRect area = textRect.translated(widget->pos());
    for (const QWidget *const sibling : widget->parentWidget()->findChildren<QWidget *>(
             QString(), Qt::FindDirectChildrenOnly)) {
        const QRect cover = sibling->geometry();
        if (sibling == widget || !cover.intersects(area))
            continue;
        if (cover.left() > area.left())
            area.setRight(cover.left() - 1);
        else if (cover.right() < area.right())
            area.setLeft(cover.right() + 1);
    }
    return area;
}

// A child's texts and where it shows them. Only a framed label's place
// follows the font (its indent is half an 'x'); every other place is worked
// out once, from the child's own font, as the search never changes it.
struct TextsInPlace
{
    const QWidget *widget;
    QStringList texts;
    std::optional<QSize> fixedRoom;
};

bool placeFollowsFont(const QWidget *widget)
{
    const auto *const label = qobject_cast<const QLabel *>(widget);
    return label != nullptr && label->indent() < 0 && label->frameWidth() > 0;
}

QRect visibleTextArea(const QWidget *widget, const QFontMetrics &metrics)
{
    QRect textRect = widget->contentsRect();
    if (const auto *const label = qobject_cast<const QLabel *>(widget))
        textRect = labelTextRect(label, metrics);
    else if (const auto *const button = qobject_cast<const QPushButton *>(widget))
        textRect = buttonTextRect(button);
    else if (const auto *const combo = qobject_cast<const QComboBox *>(widget))
        textRect = comboTextRect(combo);
    return uncoveredTextArea(widget, textRect);
}

// The form's children that show a text, with their texts and places.
std::vector<TextsInPlace> placedTexts(const QWidget *form, const LaterTexts &laterTexts)
{
    std::vector<TextsInPlace> items;
    for (const QWidget *const child :
         form->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        const QStringList texts = textsShownBy(child, laterTexts);
        if (texts.isEmpty())
            continue;
        std::optional<QSize> room;
        if (!placeFollowsFont(child))
            room = visibleTextArea(child, QFontMetrics(child->font())).size();
        items.push_back({child, texts, room});
    }
    return items;
}

// One candidate font and what has been measured in it: every text is
// measured once per font, however many children show it.
struct FontMeasures
{
    explicit FontMeasures(const QFont &font) : font(font), metrics(font) {}

    QFont font;
    QFontMetrics metrics;
    QHash<QString, int> widths;
    QHash<QString, int> inkHeights;
};

// The room a text takes where it is drawn: its laid-out width, which holds
// the ink of its last glyph, and the height of its ink. The height, dearer
// to measure, is only asked for once the width fits.
bool textFits(FontMeasures &measures, const QString &text, const QSize &room)
{
    auto width = measures.widths.constFind(text);
    if (width == measures.widths.constEnd())
        width = measures.widths.insert(
            text, measures.metrics.boundingRect(QRect(), Qt::TextSingleLine, text).width());
    if (*width > room.width())
        return false;
    auto height = measures.inkHeights.constFind(text);
    if (height == measures.inkHeights.constEnd())
        height = measures.inkHeights.insert(text, measures.metrics.tightBoundingRect(text).height());
    return *height <= room.height();
}

// The fonts of one candidate, each measured once.
class CandidateFonts
{
public:
    explicit CandidateFonts(std::optional<FontShape> shape) : shape(shape) {}

    // The font a child would show its texts in: its own, or its own shaped.
    FontMeasures &forWidget(const QWidget *widget)
    {
        const QFont font = shape ? shaped(widget->font(), *shape) : widget->font();
        const auto known = std::find_if(fonts.begin(), fonts.end(),
                                        [&font](const FontMeasures &measures) { return measures.font == font; });
        if (known != fonts.end())
            return *known;
        fonts.emplace_back(font);
        return fonts.back();
    }

    // What was measured, in an order that depends only on what it was.
    void writeMeasures(QDataStream &stream) const
    {
        for (const FontMeasures &measures : fonts) {
            QStringList texts = measures.widths.keys();
            texts.sort();
            for (const QString &text : texts)
                stream << text << measures.widths.value(text) << measures.inkHeights.value(text, -1);
        }
    }

private:
    std::optional<FontShape> shape;
    std::list<FontMeasures> fonts;
};

// Where a child shows its texts in its candidate font.
QSize roomFor(const TextsInPlace &item, const FontMeasures &measures)
{
    return item.fixedRoom ? *item.fixedRoom : visibleTextArea(item.widget, measures.metrics).size();
}

// The place of a text in the list of children: the child, then the text.
struct TextIndex
{
    std::size_t item;
    int text;
};

// The first of a child's texts that does not fit in the candidate, if any.
std::optional<int> firstMisfit(const TextsInPlace &item, CandidateFonts &fonts)
{
    FontMeasures &measures = fonts.forWidget(item.widget);
    const QSize room = roomFor(item, measures);
    const auto misfit = std::find_if_not(item.texts.cbegin(), item.texts.cend(),
                                         [&](const QString &text) { return textFits(measures, text, room); });
    if (misfit == item.texts.cend())
        return std::nullopt;
    return static_cast<int>(misfit - item.texts.cbegin());
}

bool fitsAlone(const std::vector<TextsInPlace> &items, const TextIndex &index, CandidateFonts &fonts)
{
    const TextsInPlace &item = items[index.item];
    FontMeasures &measures = fonts.forWidget(item.widget);
    return textFits(measures, item.texts[index.text], roomFor(item, measures));
}

// Whether every child's texts fit in a candidate's fonts. The text that
// failed the candidate before is tried first and alone, as it most likely
// fails this one too: a candidate then costs one measure. The answer is the
// same in any order.
bool allFit(const std::vector<TextsInPlace> &items, CandidateFonts &fonts, TextIndex &lastMisfit)
{
    if (!fitsAlone(items, lastMisfit, fonts))
        return false;
    for (std::size_t index = 0; index < items.size(); ++index) {
        if (const std::optional<int> misfit = firstMisfit(items[index], fonts)) {
            lastMisfit = {index, *misfit};
            return false;
        }
    }
    return true;
}

bool allFit(const std::vector<TextsInPlace> &items, const FontShape &shape, TextIndex &lastMisfit)
{
    CandidateFonts fonts(shape);
    return allFit(items, fonts, lastMisfit);
}

qreal pointSizeOf(const QFont &font)
{
    return font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
}

bool readable(const QFont &base, qreal pointSize)
{
    return QFontInfo(shaped(base, {pointSize, QFont::Unstretched})).pixelSize() >= MinimumPixelSize;
}

// A candidate's place in the search: so many size steps below the form's
// font, at this stretch.
struct SearchStep
{
    int sizeSteps;
    int stretch;
};

// The size so many steps below the first, worked out as the search walks
// down, so that a remembered step gives the very same size.
qreal sizeAfter(qreal firstSize, int sizeSteps)
{
    qreal size = firstSize;
    for (int step = 0; step < sizeSteps; ++step)
        size -= PointSizeStep;
    return size;
}

FontShape shapeAt(qreal firstSize, const SearchStep &step)
{
    return {sizeAfter(firstSize, step.sizeSteps), step.stretch};
}

// Where the search stopped, and whether everything fits there.
struct SearchEnd
{
    std::optional<SearchStep> step;
    bool fits;
};

// The first candidate in which everything fits, from the best to read to
// the least: the full size first, each size from its normal width down to
// the narrowest, until the size floor. Past the floor, the last candidate;
// no step when even the full size is below it. A size's floor is looked up
// only once the search gets there.
template <typename Fits>
SearchEnd firstFittingStep(const QFont &base, qreal firstSize, Fits fits)
{
    std::optional<SearchStep> tried;
    for (int sizeSteps = 0; readable(base, sizeAfter(firstSize, sizeSteps)); ++sizeSteps)
        for (int stretch = QFont::Unstretched; stretch >= MinimumStretch; stretch -= StretchStep) {
            tried = SearchStep{sizeSteps, stretch};
            if (fits(*tried))
                return {tried, true};
        }
    return {tried, false};
}

// The candidate the search tries just before a step; nullopt before the
// first, where it tried the form's own font.
std::optional<SearchStep> stepBefore(const SearchStep &step)
{
    if (step.stretch < QFont::Unstretched)
        return SearchStep{step.sizeSteps, step.stretch + StretchStep};
    if (step.sizeSteps > 0)
        return SearchStep{step.sizeSteps - 1, MinimumStretch};
    return std::nullopt;
}

// Whether a step read back is one the search can try: one of its stretches,
// a size above zero.
bool isCandidate(qreal firstSize, const SearchStep &step)
{
    const bool stretchTried = step.stretch >= MinimumStretch && step.stretch <= QFont::Unstretched
                              && (QFont::Unstretched - step.stretch) % StretchStep == 0;
    return stretchTried && step.sizeSteps >= 0 && step.sizeSteps * PointSizeStep < firstSize;
}

// The place of a text read back, if the children have a text there.
std::optional<TextIndex> textAt(const std::vector<TextsInPlace> &items, int item, int text)
{
    if (item < 0 || static_cast<std::size_t>(item) >= items.size() || text < 0
        || text >= items[static_cast<std::size_t>(item)].texts.size())
        return std::nullopt;
    return TextIndex{static_cast<std::size_t>(item), text};
}

// Whether the search would stop at a remembered step: the candidate tried
// just before fails (on the text remembered with the step, most likely),
// everything fits at the step, and its size is readable (asked of the
// step's font, already loaded). Checked rather than trusted, in case the
// fonts changed in a way the fingerprint misses. Before the first step the
// search tried the form's own font, which the caller found too wide.
bool searchStopsAt(const std::vector<TextsInPlace> &items, const QFont &base, qreal firstSize,
                   const SearchStep &step, TextIndex misfitBefore)
{
    if (!isCandidate(firstSize, step))
        return false;
    if (const std::optional<SearchStep> before = stepBefore(step))
        if (allFit(items, shapeAt(firstSize, *before), misfitBefore))
            return false;
    const FontShape shape = shapeAt(firstSize, step);
    return allFit(items, shape, misfitBefore)
           && QFontInfo(shaped(base, shape)).pixelSize() >= MinimumPixelSize;
}

// Where the search's answer is kept between starts; empty: it is not.
QString memoryFile;
// Changes whenever what goes into a fingerprint does.
constexpr int FingerprintFormat = 1;

// What the search depends on: its own steps and floors, Qt, the platform
// and its style, the screen, the form's font and the file it comes from,
// each child's texts and place, and the widths the platform's fonts gave
// those texts, which follow the rendering settings.
QByteArray fitFingerprint(const QWidget *form, const std::vector<TextsInPlace> &items,
                          const CandidateFonts &platformFonts)
{
    const QFont base = form->font();
    const QFontInfo used(base);
    QByteArray data;
    QDataStream stream(&data, QIODevice::WriteOnly);
    stream << FingerprintFormat << MinimumPixelSize << MinimumStretch << StretchStep << PointSizeStep
           << QString::fromLatin1(qVersion()) << QGuiApplication::platformName()
           << form->style()->objectName() << form->devicePixelRatioF() << form->logicalDpiX()
           << form->logicalDpiY() << base.toString() << used.family() << used.styleName()
           << used.pixelSize() << QRawFont::fromFont(base).fontTable("head");
    for (const TextsInPlace &item : items)
        stream << item.widget->objectName() << item.widget->geometry() << item.texts
               << item.fixedRoom.value_or(QSize());
    platformFonts.writeMeasures(stream);
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256);
}

// The step kept for this very search, if the search would stop there.
std::optional<SearchStep> keptStep(const QByteArray &fingerprint, const std::vector<TextsInPlace> &items,
                                   const QFont &base, qreal firstSize)
{
    const std::optional<RememberedFit> kept = readRememberedFit(memoryFile);
    if (!kept || kept->fingerprint != fingerprint)
        return std::nullopt;
    const SearchStep step{kept->sizeSteps, kept->stretch};
    const std::optional<TextIndex> misfitBefore = textAt(items, kept->misfitItem, kept->misfitText);
    if (!misfitBefore || !searchStopsAt(items, base, firstSize, step, *misfitBefore))
        return std::nullopt;
    return step;
}

// The candidate where everything fits: the kept one if the search would
// stop there, otherwise the search's, then kept with the text that failed
// the candidate before it.
std::optional<FontShape> fittingShape(const QWidget *form, const std::vector<TextsInPlace> &items,
                                      const CandidateFonts &platformFonts, TextIndex &lastMisfit)
{
    const QFont base = form->font();
    const qreal firstSize = pointSizeOf(base);
    QByteArray fingerprint;
    if (!memoryFile.isEmpty()) {
        fingerprint = fitFingerprint(form, items, platformFonts);
        if (const std::optional<SearchStep> step = keptStep(fingerprint, items, base, firstSize))
            return shapeAt(firstSize, *step);
    }
    const SearchEnd end = firstFittingStep(base, firstSize, [&](const SearchStep &candidate) {
        return allFit(items, shapeAt(firstSize, candidate), lastMisfit);
    });
    if (!end.step)
        return std::nullopt;
    // At a fit, the last misfit is the text that failed the step before.
    if (end.fits && !memoryFile.isEmpty())
        writeRememberedFit(memoryFile, {fingerprint, end.step->sizeSteps, end.step->stretch,
                                        static_cast<int>(lastMisfit.item), lastMisfit.text});
    return shapeAt(firstSize, *end.step);
}

// Holds back a font change from the form's combo boxes whose popup list is
// not made yet. A combo box makes its popup (a window, its list and their
// scrollers) the moment its font changes, though the list is seen only once
// opened: at start-up that was most of the cost of setting the form's font.
// A popup made later takes its combo box's font then. Only for a form not
// laid out yet: the combo boxes' size hints, which they would forget on
// the change, must not have been asked for.
class FontChangeHeldBack : public QObject
{
public:
    explicit FontChangeHeldBack(const QWidget *form)
    {
        for (QComboBox *const combo : form->findChildren<QComboBox *>())
            if (!hasPopup(combo)) {
                combo->installEventFilter(this);
                spared.push_back(combo);
            }
    }

    ~FontChangeHeldBack() override
    {
        for (QComboBox *const combo : spared)
            combo->removeEventFilter(this);
    }

    FontChangeHeldBack(const FontChangeHeldBack &) = delete;
    FontChangeHeldBack &operator=(const FontChangeHeldBack &) = delete;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        return event->type() == QEvent::FontChange || QObject::eventFilter(watched, event);
    }

private:
    // A combo box's popup is the one window among its children.
    static bool hasPopup(const QComboBox *combo)
    {
        const QList<QWidget *> children =
            combo->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
        return std::any_of(children.cbegin(), children.cend(),
                           [](const QWidget *child) { return child->isWindow(); });
    }

    std::vector<QComboBox *> spared;
};

void setFormFont(QWidget *form, const QFont &font)
{
    const FontChangeHeldBack heldBack(form);
    form->setFont(font);
}

} // namespace

void rememberFitIn(const QString &file)
{
    memoryFile = file;
}

void fitFormFont(QWidget *form, const LaterTexts &laterTexts)
{
    const std::vector<TextsInPlace> items = placedTexts(form, laterTexts);
    if (items.empty())
        return;
    TextIndex lastMisfit{0, 0};
    CandidateFonts platformFonts(std::nullopt);
    if (allFit(items, platformFonts, lastMisfit))
        return;
    if (const std::optional<FontShape> shape = fittingShape(form, items, platformFonts, lastMisfit))
        setFormFont(form, shaped(form->font(), *shape));
}
