#include "portSetting.h"

#include <QSettings>

namespace {

const QString kOrganization = QStringLiteral("Kestrova");
const QString kApplication = QStringLiteral("Orbanel");
const QString kPortValue = QStringLiteral("commsport");

// The stored value as a port name: a hand-written name with a comma and no quotes reads as a list
// of its parts.
QString PortText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

bool Store(QSettings::Scope scope, const QString &name)
{
    QSettings settings(QSettings::NativeFormat, scope, kOrganization, kApplication);
    // The name the store holds already is not written again: every start stores the port, and
    // rewritten, the file would lose its comments and whatever lines the reader cannot make out.
    if (const QVariant stored = settings.value(kPortValue);
        stored.isValid() && PortText(stored) == name)
        return true;
    settings.setValue(kPortValue, name);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace

QString ReadStoredPort()
{
    // The user's store first; QSettings falls back to the machine-wide one.
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kOrganization,
                             kApplication);
    const QVariant value = settings.value(kPortValue);
    if (!value.isValid())
        return QString::fromLatin1(kDefaultStoredPort);
    return PortText(value);
}

bool WriteStoredPort(const QString &name)
{
#ifdef Q_OS_WIN
    // The port is remembered per machine. Without rights on the machine-wide key the user's
    // own key keeps it instead; after a machine-wide write a user value would hide it, so it
    // goes.
    if (Store(QSettings::SystemScope, name)) {
        QSettings user(QSettings::NativeFormat, QSettings::UserScope, kOrganization, kApplication);
        user.remove(kPortValue);
        return true;
    }
#endif
    return Store(QSettings::UserScope, name);
}
