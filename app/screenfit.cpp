#include "app/screenfit.h"

#include "app/qtbridge.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>
#include <QWindow>
#include <QtMath>

#include <algorithm>

namespace {

// The steps of scale Windows offers its users. A scale between two of them
// gains little room and draws the form's lines less evenly.
constexpr qreal ScaleStep = 0.25;
constexpr qreal SmallestScale = 1.0;

// The platforms where Qt itself scales every window by its screen's DPI, so
// that the factor asked through the environment is the window's scale. On
// the others (Wayland, macOS) the system scales and places windows itself.
const QStringList PlatformsScaledByQt = {QStringLiteral("windows"), QStringLiteral("xcb"),
                                         QStringLiteral("offscreen")};

// The platforms where a window gets its frame only once it is shown: the
// X11 window manager frames a window as it maps it. Before that Qt would
// ask the X server for the frame, three round trips for a frame of nothing.
const QStringList PlatformsFramingOnceShown = {QStringLiteral("xcb")};

// Qt's own variables: one factor for every screen; a factor per screen,
// by name ("name=factor") or in the order of the screens, separated by ';',
// in place of the one its DPI gives; and whether DPIs give factors at all.
const char *const AllScreensFactorVariable = "QT_SCALE_FACTOR";
const char *const ScreenFactorsVariable = "QT_SCREEN_SCALE_FACTORS";
const char *const DpiScalingVariable = "QT_ENABLE_HIGHDPI_SCALING";
const QByteArray DpiScalingOff = QByteArrayLiteral("0");
const QChar ScreenSeparator(';');
const QChar NameSeparator('=');
// Enough digits for any factor a user or this code sets.
constexpr int FactorDigits = 6;

bool fitsAt(const ScreenRoom &room, qreal scale)
{
    const int width = qCeil(room.windowSize.width() * scale) + room.frame.left() + room.frame.right();
    const int height = qCeil(room.windowSize.height() * scale) + room.frame.top() + room.frame.bottom();
    return width <= room.available.width() && height <= room.available.height();
}

// Qt gives sizes in the window's units, rounded: back in pixels, a frame
// is taken at its widest and an area at its narrowest.
QMargins inPixels(const QMargins &margins, qreal scale)
{
    return {qCeil(margins.left() * scale), qCeil(margins.top() * scale), qCeil(margins.right() * scale),
            qCeil(margins.bottom() * scale)};
}

QSize inPixels(const QSize &size, qreal scale)
{
    return {qFloor(size.width() * scale), qFloor(size.height() * scale)};
}

const QScreen &screenOf(QWidget &window)
{
    window.winId();
    return *window.windowHandle()->screen();
}

// The frame of a window made but not shown yet, in its own units.
QMargins frameBeforeShown(QWidget &window)
{
    if (PlatformsFramingOnceShown.contains(QGuiApplication::platformName()))
        return {};
    return window.windowHandle()->frameMargins();
}

// The factor Qt multiplies every screen's by, 1 unless the user set one.
qreal allScreensFactor()
{
    bool set = false;
    const qreal factor = QString::fromLocal8Bit(qgetenv(AllScreensFactorVariable)).toDouble(&set);
    return set && factor > 0 ? factor : 1.0;
}

// Whether the screen has a name, of its own, that Qt finds it by.
bool namedAlone(const QScreen &screen)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    return !screen.name().isEmpty() && !screen.name().contains(ScreenSeparator)
           && std::count_if(screens.cbegin(), screens.cend(), [&screen](const QScreen *other) {
                  return other->name() == screen.name();
              }) == 1;
}

} // namespace

qreal fittingScale(const ScreenRoom &room)
{
    if (room.systemScale <= SmallestScale || fitsAt(room, room.systemScale))
        return room.systemScale;
    for (int steps = qCeil(room.systemScale / ScaleStep) - 1; steps * ScaleStep > SmallestScale; --steps)
        if (fitsAt(room, steps * ScaleStep))
            return steps * ScaleStep;
    return SmallestScale;
}

std::optional<qreal> scaleToFit(QWidget &window)
{
    if (!screenScaleCanBeAsked() || !PlatformsScaledByQt.contains(QGuiApplication::platformName()))
        return std::nullopt;
    // Its own size, taken before its native window is made: a system may cut
    // that one down to the screen (Wine does).
    const QSize size = window.size();
    const QScreen &screen = screenOf(window);
    const qreal systemScale = screen.devicePixelRatio();
    const ScreenRoom room{size, inPixels(frameBeforeShown(window), systemScale),
                          inPixels(screen.availableGeometry().size(), systemScale), systemScale};
    const qreal scale = fittingScale(room);
    if (scale >= systemScale)
        return std::nullopt;
    return scale;
}

void askScaleForNextStart(QWidget &window, qreal scale)
{
    const QScreen *const shown = &screenOf(window);
    const qreal allScreens = allScreensFactor();
    const QList<QScreen *> screens = QGuiApplication::screens();
    const bool byName = std::all_of(screens.cbegin(), screens.cend(),
                                    [](const QScreen *screen) { return namedAlone(*screen); });
    // Every screen at its scale of now, this one at the scale asked: the
    // user's own factors for them are in their scales already.
    QStringList factors;
    bool allOne = true;
    for (const QScreen *const screen : screens) {
        const qreal factor = (screen == shown ? scale : screen->devicePixelRatio()) / allScreens;
        allOne = allOne && qFuzzyCompare(factor, SmallestScale);
        const QString number = QString::number(factor, 'g', FactorDigits);
        factors << (byName ? screen->name() + NameSeparator + number : number);
    }
    // Qt 5 takes no notice of factors of 1 unless one of them differs:
    // screens all at 1 are screens that Qt does not scale by their DPI.
    if (allOne) {
        qunsetenv(ScreenFactorsVariable);
        qputenv(DpiScalingVariable, DpiScalingOff);
    } else {
        qputenv(ScreenFactorsVariable, factors.join(ScreenSeparator).toLocal8Bit());
    }
}

void keepOnScreen(QWidget &window)
{
    const QRect area = screenOf(window).availableGeometry();
    QRect frame = window.geometry().marginsAdded(frameBeforeShown(window));
    if (area.contains(frame))
        return;
    frame.moveRight(qMin(frame.right(), area.right()));
    frame.moveBottom(qMin(frame.bottom(), area.bottom()));
    frame.moveLeft(qMax(frame.left(), area.left()));
    frame.moveTop(qMax(frame.top(), area.top()));
    window.move(frame.topLeft());
}
