#include "protocol/itemnames.h"

#include "protocol/nodereport.h"
#include "protocol/presets.h"

const QStringList &chipNames()
{
    static const QStringList names = {
        QStringLiteral("TS3001"),     QStringLiteral("UCS1912/WS2812"),
        QStringLiteral("LPD6803"),    QStringLiteral("SN16716"),
        QStringLiteral("DMX_512"),    QStringLiteral("SPI->DMX"),
        QStringLiteral("WS2812RGBW"), QStringLiteral("LPD1886 (4096 couleurs)"),
    };
    Q_ASSERT(names.size() == Chip::Count);
    return names;
}

const QStringList &curtainSizeNames()
{
    static const QStringList sizes = {
        QStringLiteral("2X1"), QStringLiteral("3X2"), QStringLiteral("4X2")};
    Q_ASSERT(sizes.size() == CurtainSize::Count);
    return sizes;
}
