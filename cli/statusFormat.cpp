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

QString CsvHeader()
{
    return QStringLiteral("time,ms,adc,angle_deg,gear_index,gear,analog_input,status_hex,"
                          "upshift_trigger,downshift_trigger,engine_cut,throttle_blip");
}

QString CsvRow(const QDateTime &when, qint64 msSinceStart, const TQV3318MessageRec &status)
{
    const auto bit = [&](std::uint8_t mask) { return (status.StatusBits & mask) != 0 ? 1 : 0; };
    return QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,%9,%10,%11,%12")
        .arg(when.toString(Qt::ISODateWithMs))
        .arg(msSinceStart)
        .arg(status.Adc)
        .arg(CountsToDegrees(status.Adc), 0, 'f', 1)
        .arg(status.Gear)
        .arg(QChar::fromLatin1(GearLetterOf(status.Gear)))
        .arg(status.AnalogueInput)
        .arg(QStringLiteral("%1").arg(status.StatusBits, 2, 16, QLatin1Char('0')).toUpper())
        .arg(bit(kStatusUpshift))
        .arg(bit(kStatusDownshift))
        .arg(bit(kStatusCut))
        .arg(bit(kStatusBlip));
}
