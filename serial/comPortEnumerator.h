#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What the device database knows of one port: its short name and, where known, readable names.
struct TPortInfo
{
    QString Name;
    QString FriendlyName;
    QString DeviceDescription;
};

// The serial ports that exist at the moment, each with a display text, in port-number order.
// The port dialog owns one and rebuilds it each time it opens.
class TComPortEnumerator
{
public:
    // Rebuilds the list from the platform's sources, then Merge.
    void Enumerate();
    int PortCount() const;
    QString GetFriendlyName(int index) const; // "" out of range
    QString GetPortName(int index) const; // "" out of range

    // The merge, naming and ordering rules over plain inputs: `present` = short names of the
    // ports that exist now (in source order); `known` = readable-name records of the device
    // database. Names are upper-cased unless the platform's names are case-sensitive.
    void Merge(const QStringList &present, const QList<TPortInfo> &known, bool caseSensitiveNames);

    // "Communications Port (NAME)", the text of a port without a readable name.
    static QString DefaultText(const QString &name);

    // Where the system keeps names that follow an adapter from socket to socket: links named
    // after the adapter pointing at its device node. Enumerate uses them where they exist.
    QString StableNameFolder = QStringLiteral("/dev/serial/by-id");
    // Each listed port whose device node (deviceFolder/NAME) has a link in linkFolder takes the
    // link's full path as its NAME, so a re-plugged adapter is found again under another
    // device name; its text stays. The plain name stays known (IsKnownAs).
    void UseStableNames(const QString &linkFolder, const QString &deviceFolder);
    // Whether entry index is the port called name: its NAME, or the plain name a stable one
    // replaced, ignoring case.
    bool IsKnownAs(int index, const QString &name) const;

private:
    struct Entry
    {
        QString Name;
        QString Text;
        QStringList OtherNames; // the plain device name behind a stable NAME
    };
    QList<Entry> entries_;
};
