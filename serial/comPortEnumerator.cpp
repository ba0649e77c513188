#include "comPortEnumerator.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include <algorithm>
#include <iterator>
#include <string>
#include <tuple>

namespace {

// Windows names its ports COM<number>; the number decides their order.
constexpr int kComPrefixLength = 3;

// Upper case of the letters a to z only, as the device map's names are compared.
QString AsciiUpper(const QString &name)
{
    QString upper = name;
    for (QChar &c : upper)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    return upper;
}

// The number after "COM"; a tail that is not an integer counts as 0.
int ComNumber(const QString &name)
{
    bool ok = false;
    const int number = name.mid(kComPrefixLength).toInt(&ok);
    return ok ? number : 0;
}

// Natural order of names such as ttyS2 and ttyUSB10: by the text before the trailing digits,
// then by their value.
auto NaturalKey(const QString &name)
{
    qsizetype split = name.size();
    while (split > 0 && name[split - 1].isDigit())
        --split;
    const QString digits = name.mid(split);
    // Leading zeros and very long runs compare by length first, then by text.
    QString trimmed = digits;
    while (trimmed.size() > 1 && trimmed.startsWith(u'0'))
        trimmed.remove(0, 1);
    return std::make_tuple(name.left(split), trimmed.size(), trimmed, name);
}

#ifdef Q_OS_WIN
// Thin helpers over the registry of the device map and the device tree. Keys are opened
// read-only; whatever cannot be opened or read is skipped.
class RegKey
{
public:
    RegKey(HKEY parent, const QString &path)
    {
        if (RegOpenKeyExW(parent, reinterpret_cast<const wchar_t *>(path.utf16()), 0, KEY_READ,
                          &key_)
            != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~RegKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    RegKey(const RegKey &) = delete;
    RegKey &operator=(const RegKey &) = delete;

    bool IsOpen() const { return key_ != nullptr; }

    QStringList SubKeys() const
    {
        QStringList names;
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD size = static_cast<DWORD>(std::size(name));
            if (RegEnumKeyExW(key_, i, name, &size, nullptr, nullptr, nullptr, nullptr)
                != ERROR_SUCCESS)
                break;
            names.append(QString::fromWCharArray(name, static_cast<qsizetype>(size)));
        }
        return names;
    }

    // The string data of every value, in the order the registry lists them.
    QStringList ValueData() const
    {
        QStringList data;
        wchar_t name[16384];
        for (DWORD i = 0;; ++i) {
            DWORD nameSize = static_cast<DWORD>(std::size(name));
            DWORD type = 0;
            DWORD bytes = 0;
            if (RegEnumValueW(key_, i, name, &nameSize, nullptr, &type, nullptr, &bytes)
                != ERROR_SUCCESS)
                break;
            const QString text = String(QString::fromWCharArray(name, nameSize));
            if (!text.isNull())
                data.append(text);
        }
        return data;
    }

    // A string value; a null string when it is missing or not a string.
    QString String(const QString &value) const
    {
        DWORD type = 0;
        DWORD bytes = 0;
        const auto *name = reinterpret_cast<const wchar_t *>(value.utf16());
        if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS
            || (type != REG_SZ && type != REG_EXPAND_SZ))
            return {};
        std::wstring buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE *>(buffer.data()),
                             &size)
            != ERROR_SUCCESS)
            return {};
        buffer.resize(size / sizeof(wchar_t));
        while (!buffer.empty() && buffer.back() == L'\0')
            buffer.pop_back();
        return QString::fromStdWString(buffer);
    }

private:
    HKEY key_ = nullptr;
};

void WindowsSources(QStringList &present, QList<TPortInfo> &known)
{
    {
        const RegKey map(HKEY_LOCAL_MACHINE, QStringLiteral("hardware\\devicemap\\serialcomm"));
        if (map.IsOpen())
            present = map.ValueData();
    }
    const QString root = QStringLiteral("system\\currentcontrolset\\enum");
    const RegKey enumerators(HKEY_LOCAL_MACHINE, root);
    if (!enumerators.IsOpen())
        return;
    for (const QString &e : enumerators.SubKeys()) {
        const QString ePath = root + QLatin1Char('\\') + e;
        const RegKey devices(HKEY_LOCAL_MACHINE, ePath);
        for (const QString &d : devices.SubKeys()) {
            const QString dPath = ePath + QLatin1Char('\\') + d;
            const RegKey instances(HKEY_LOCAL_MACHINE, dPath);
            for (const QString &i : instances.SubKeys()) {
                const QString iPath = dPath + QLatin1Char('\\') + i;
                const RegKey instance(HKEY_LOCAL_MACHINE, iPath);
                if (!instance.IsOpen()
                    || instance.String(QStringLiteral("class"))
                            .compare(QStringLiteral("ports"), Qt::CaseInsensitive)
                        != 0)
                    continue;
                TPortInfo info;
                info.FriendlyName = instance.String(QStringLiteral("friendlyName"));
                info.DeviceDescription = instance.String(QStringLiteral("devicedesc"));
                const RegKey parameters(HKEY_LOCAL_MACHINE,
                                        iPath + QStringLiteral("\\device Parameters"));
                if (parameters.IsOpen())
                    info.Name = parameters.String(QStringLiteral("portname"));
                if (!info.Name.isEmpty())
                    known.append(info);
            }
        }
    }
}
#endif

} // namespace

QString TComPortEnumerator::DefaultText(const QString &name)
{
    return QStringLiteral("Communications Port (") + name + u')';
}

void TComPortEnumerator::Enumerate()
{
    QStringList present;
    QList<TPortInfo> known;
#ifdef Q_OS_WIN
    WindowsSources(present, known);
    Merge(present, known, false);
#else
    // Elsewhere the serial layer's port list is the device database: short names such as
    // ttyUSB0 and, where the system knows one, the device's product description.
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        present.append(info.portName());
        known.append(TPortInfo {info.portName(), QString(), info.description()});
    }
    Merge(present, known, true);
    UseStableNames(StableNameFolder, QStringLiteral("/dev"));
#endif
}

void TComPortEnumerator::UseStableNames(const QString &linkFolder, const QString &deviceFolder)
{
    // Device node -> the first link to it in name order (an adapter may have several).
    QHash<QString, QString> links;
    const QFileInfoList found
        = QDir(linkFolder)
              .entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : found) {
        if (!link.isSymLink())
            continue;
        const QString device = link.canonicalFilePath(); // empty for a link to nothing
        if (!device.isEmpty() && !links.contains(device))
            links.insert(device, link.absoluteFilePath());
    }
    if (links.isEmpty())
        return;
    for (Entry &entry : entries_) {
        const QString node = deviceFolder + QLatin1Char('/') + entry.Name;
        const auto link = links.constFind(QFileInfo(node).canonicalFilePath());
        if (link == links.constEnd())
            continue;
        entry.OtherNames = QStringList {entry.Name, node};
        entry.Name = *link;
    }
}

bool TComPortEnumerator::IsKnownAs(int index, const QString &name) const
{
    if (index < 0 || index >= PortCount())
        return false;
    const Entry &entry = entries_[index];
    return entry.Name.compare(name, Qt::CaseInsensitive) == 0
        || entry.OtherNames.contains(name, Qt::CaseInsensitive);
}

void TComPortEnumerator::Merge(const QStringList &present, const QList<TPortInfo> &known,
                               bool caseSensitiveNames)
{
    entries_.clear();
    const auto nameOf = [caseSensitiveNames](const QString &raw) {
        return caseSensitiveNames ? raw : AsciiUpper(raw);
    };
    const auto find = [this](const QString &name) {
        return std::find_if(entries_.begin(), entries_.end(),
                            [&](const Entry &entry) { return entry.Name == name; });
    };

    for (const QString &raw : present) {
        const QString name = nameOf(raw);
        const auto existing = find(name);
        if (existing != entries_.end())
            existing->Text = DefaultText(name);
        else
            entries_.append(Entry {name, DefaultText(name), {}});
    }

    // Readable names only ever rename ports that are present.
    for (const TPortInfo &info : known) {
        const QString name = nameOf(info.Name);
        const auto existing = find(name);
        if (existing == entries_.end())
            continue;
        QString text = !info.FriendlyName.isEmpty() ? info.FriendlyName : info.DeviceDescription;
        existing->Text = text.isEmpty() ? DefaultText(name) : text;
    }

    if (caseSensitiveNames)
        std::stable_sort(entries_.begin(), entries_.end(), [](const Entry &a, const Entry &b) {
            return NaturalKey(a.Name) < NaturalKey(b.Name);
        });
    else
        std::stable_sort(entries_.begin(), entries_.end(), [](const Entry &a, const Entry &b) {
            return ComNumber(a.Name) < ComNumber(b.Name);
        });
}

int TComPortEnumerator::PortCount() const
{
    return static_cast<int>(entries_.size());
}

QString TComPortEnumerator::GetFriendlyName(int index) const
{
    return index >= 0 && index < PortCount() ? entries_[index].Text : QString();
}

QString TComPortEnumerator::GetPortName(int index) const
{
    return index >= 0 && index < PortCount() ? entries_[index].Name : QString();
}
