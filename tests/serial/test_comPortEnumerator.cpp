#include "comPortEnumerator.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList Names(const TComPortEnumerator &e)
{
    QStringList names;
    for (int i = 0; i < e.PortCount(); ++i)
        names.append(e.GetPortName(i));
    return names;
}

struct OrderCase
{
    const char *title;
    QStringList present;
    bool caseSensitive;
    QStringList expected;
};

class ComPortOrder : public ::testing::TestWithParam<OrderCase>
{
};

} // namespace

TEST_P(ComPortOrder, ListsEachPresentPortOnceInPortOrder)
{
    TComPortEnumerator e;
    e.Merge(GetParam().present, {}, GetParam().caseSensitive);
    EXPECT_EQ(Names(e), GetParam().expected) << GetParam().title;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ComPortOrder,
    ::testing::Values(
        OrderCase {
            "numeric after COM", {"COM10", "COM2", "COM9"}, false, {"COM2", "COM9", "COM10"}},
        OrderCase {"upper-cased", {"com4", "Com1"}, false, {"COM1", "COM4"}},
        OrderCase {
            "duplicates collapse", {"COM3", "com3", "COM1", "COM3"}, false, {"COM1", "COM3"}},
        OrderCase {"tail not a number counts 0",
                   {"COM5", "COMX", "COM0"},
                   false,
                   {"COMX", "COM0", "COM5"}},
        OrderCase {"only letters a-z change case", {"cöm7"}, false, {"CöM7"}},
        OrderCase {"none present", {}, false, {}},
        OrderCase {"natural order on case-sensitive names",
                   {"ttyUSB0", "ttyS10", "ttyACM1", "ttyS2", "ttyACM0", "ttyS0"},
                   true,
                   {"ttyACM0", "ttyACM1", "ttyS0", "ttyS2", "ttyS10", "ttyUSB0"}},
        OrderCase {"case kept where names are case-sensitive",
                   {"ttyS1", "TTYS1"},
                   true,
                   {"TTYS1", "ttyS1"}},
        OrderCase {"long numbers",
                   {"ttyS100000000000000000001", "ttyS9"},
                   true,
                   {"ttyS9", "ttyS100000000000000000001"}}));

TEST(ComPortText, ReadableNameComesFromFriendlyNameElseDescriptionElseDefault)
{
    struct Row
    {
        const char *friendly;
        const char *description;
        const char *text;
    };
    const Row rows[] = {
        {"USB-SERIAL CH340 (COM5)", "USB-SERIAL CH340", "USB-SERIAL CH340 (COM5)"},
        {"", "USB Serial Port", "USB Serial Port"},
        {"", "", "Communications Port (COM5)"},
    };
    for (const Row &row : rows) {
        TComPortEnumerator e;
        e.Merge({"COM5"},
                {TPortInfo {"com5", QString::fromUtf8(row.friendly),
                            QString::fromUtf8(row.description)}},
                false);
        ASSERT_EQ(e.PortCount(), 1);
        EXPECT_EQ(e.GetFriendlyName(0), QString::fromUtf8(row.text)) << row.friendly;
    }

    TComPortEnumerator e;
    e.Merge({"COM1"}, {}, false);
    EXPECT_EQ(e.GetFriendlyName(0), QStringLiteral("Communications Port (COM1)"));
}

TEST(ComPortText, DeviceTreeOnlyPortIsNeverListed)
{
    TComPortEnumerator e;
    e.Merge({"COM2", "COM1"}, {{"COM7", "Unplugged adapter", ""}, {"COM1", "Built-in", ""}}, false);
    EXPECT_EQ(Names(e), QStringList({"COM1", "COM2"}));
    EXPECT_EQ(e.GetFriendlyName(0), QStringLiteral("Built-in"));
    EXPECT_EQ(e.GetFriendlyName(1), QStringLiteral("Communications Port (COM2)"));

    // Where names are case-sensitive a record of another case is another port.
    e.Merge({"ttyUSB0"}, {{"TTYUSB0", "Other", ""}}, true);
    EXPECT_EQ(e.GetFriendlyName(0), QStringLiteral("Communications Port (ttyUSB0)"));
}

TEST(ComPortText, IndexOutOfRangeGivesEmptyTextsAndMergeStartsAfresh)
{
    TComPortEnumerator e;
    e.Merge({"COM3", "COM4"}, {}, false);
    e.Merge({"COM8"}, {}, false);
    EXPECT_EQ(e.PortCount(), 1);
    for (int index : {-1, 1, 1000}) {
        EXPECT_EQ(e.GetPortName(index), QString()) << index;
        EXPECT_EQ(e.GetFriendlyName(index), QString()) << index;
    }
}

TEST(ComPortEnumerate, PlatformListFollowsTheSameRules)
{
    // Whatever ports the machine has, each is listed once, named, and in order.
    TComPortEnumerator e;
    e.Enumerate();
    for (int i = 0; i < e.PortCount(); ++i) {
        EXPECT_FALSE(e.GetPortName(i).isEmpty());
        EXPECT_FALSE(e.GetFriendlyName(i).isEmpty());
    }
    TComPortEnumerator again;
    again.Merge(Names(e), {}, true);
    EXPECT_EQ(Names(again), Names(e));
}

namespace {

// A device folder with three nodes and a folder of stable names as the system keeps them:
// relative links named after the adapter, one dangling, one an ordinary file.
struct StableNames
{
    QTemporaryDir dir;
    QString devices;
    QString links;

    StableNames()
    {
        devices = dir.filePath(QStringLiteral("dev"));
        links = dir.filePath(QStringLiteral("dev/serial/by-id"));
        QDir().mkpath(links);
        for (const char *node : {"ttyS0", "ttyUSB0", "ttyUSB1"}) {
            QFile file(devices + QLatin1Char('/') + QLatin1String(node));
            file.open(QIODevice::WriteOnly);
        }
        Link("../../ttyUSB1", "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        Link("../../ttyUSB0", "usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0");
        Link("../../ttyUSB0", "usb-zz-second-name-of-the-same-adapter");
        Link("../../ttyUSB9", "usb-unplugged-adapter");
        QFile plain(links + QStringLiteral("/README"));
        plain.open(QIODevice::WriteOnly);
    }
    void Link(const char *target, const char *name) const
    {
        QFile::link(QLatin1String(target), links + QLatin1Char('/') + QLatin1String(name));
    }
    QString Stable(const char *name) const
    {
        return links + QLatin1Char('/') + QLatin1String(name);
    }
};

} // namespace

TEST(ComPortStableNames, AnAdapterWithAStableNameIsListedUnderItAndKnownByItsPlainName)
{
    StableNames folder;
    TComPortEnumerator e;
    e.Merge({"ttyUSB1", "ttyS0", "ttyUSB0"}, {{"ttyUSB1", "", "FT232R USB UART"}}, true);
    e.UseStableNames(folder.links, folder.devices);

    // Order and texts are those of the plain names; only the names change.
    EXPECT_EQ(Names(e),
              QStringList({"ttyS0",
                           folder.Stable("usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-"
                                         "port0"),
                           folder.Stable("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0")}));
    EXPECT_EQ(e.GetFriendlyName(2), QStringLiteral("FT232R USB UART"));
    EXPECT_EQ(e.GetFriendlyName(1), QStringLiteral("Communications Port (ttyUSB0)"));

    EXPECT_TRUE(e.IsKnownAs(2, QStringLiteral("ttyUSB1")));
    EXPECT_TRUE(e.IsKnownAs(2, folder.devices + QStringLiteral("/ttyUSB1")));
    EXPECT_TRUE(e.IsKnownAs(2, e.GetPortName(2).toUpper())) << "ignoring case, as the dialog does";
    EXPECT_FALSE(e.IsKnownAs(2, QStringLiteral("ttyUSB0")));
    EXPECT_TRUE(e.IsKnownAs(0, QStringLiteral("ttyS0")));
    EXPECT_FALSE(e.IsKnownAs(0, folder.devices + QStringLiteral("/ttyS0")))
        << "a port without a stable name keeps its one name";
    EXPECT_FALSE(e.IsKnownAs(3, QStringLiteral("ttyS0")));

    // Without the folder (no adapter plugged in, or another system) nothing changes.
    e.Merge({"ttyUSB1"}, {}, true);
    e.UseStableNames(folder.dir.filePath(QStringLiteral("none")), folder.devices);
    EXPECT_EQ(Names(e), QStringList {"ttyUSB1"});
}
