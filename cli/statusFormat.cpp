#include "statusFormat.h"

#include "Ecu.h"

QString StatusLine(const QDateTime &when, const TQV3318MessageRec &status)
{
    const auto bit = [&](std::uint8_t mask) { return (status.StatusBits & mask) != 0 ? 1 : 0; };
    return QStringLiteral("%1  angle %2  gear %3  input %4  upshift %5  downshift %6  cut %7  "
                          "blip %8")
        .arg(when.toString(QStringLiteral("HH:mm:ss.zzz")))
        .arg(CountsToDegrees(status.Adc), 5, 'f', 1)
        .arg(QChar::fromLatin1(GearLetterOf(status.Gear)))
        .arg(status.AnalogueInput, 3)
        .arg(bit(kStatusUpshift))
        .arg(bit(kStatusDownshift))
        .arg(bit(kStatusCut))
        .arg(bit(kStatusBlip));
}
