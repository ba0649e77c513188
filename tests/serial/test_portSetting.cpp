#include "portSetting.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Points both scopes of the native store at folders of our own, never the real store.
class StoredPort : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(user_.isValid());
        ASSERT_TRUE(system_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, user_.path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, system_.path());
    }

    static void Put(QSettings::Scope scope, const QString &value)
    {
        QSettings settings(QSettings::NativeFormat, scope, "Kestrova", "Orbanel");
        settings.setValue("commsport", value);
    }

    QString UserFile() const { return user_.filePath("Kestrova/Orbanel.conf"); }

    QTemporaryDir user_;
    QTemporaryDir system_;
};

} // namespace

TEST_F(StoredPort, MissingValueReadsAsCom1)
{
    EXPECT_EQ(ReadStoredPort(), QStringLiteral("COM1"));
}

TEST_F(StoredPort, UserValueComesFirstThenTheSystemValue)
{
    Put(QSettings::SystemScope, "/dev/ttyS0");
    EXPECT_EQ(ReadStoredPort(), QStringLiteral("/dev/ttyS0"));
    Put(QSettings::UserScope, "/dev/ttyUSB0");
    EXPECT_EQ(ReadStoredPort(), QStringLiteral("/dev/ttyUSB0"));
}

TEST_F(StoredPort, WrittenValueIsReadBackAndLandsInTheUserFile)
{
    for (const char *name : {"COM1", "ttyUSB0", "com3", ""}) {
        EXPECT_TRUE(WriteStoredPort(QString::fromLatin1(name))) << name;
        EXPECT_EQ(ReadStoredPort(), QString::fromLatin1(name)) << name;
    }
    ASSERT_TRUE(WriteStoredPort(QStringLiteral("/dev/ttyUSB0")));
    QFile file(UserFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("[General]"));
    EXPECT_TRUE(text.contains("commsport=/dev/ttyUSB0"));
}

// A name with a comma, written by the program or by hand as the manual shows (without quotes).
TEST_F(StoredPort, ANameWithACommaReadsWhole)
{
    ASSERT_TRUE(WriteStoredPort(QStringLiteral("/tmp/ecu,tty")));
    EXPECT_EQ(ReadStoredPort(), QStringLiteral("/tmp/ecu,tty"));
    QDir().mkpath(QFileInfo(UserFile()).absolutePath());
    QFile file(UserFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[General]\ncommsport=/tmp/kart,7,tty\n");
    file.close();
    EXPECT_EQ(ReadStoredPort(), QStringLiteral("/tmp/kart,7,tty"));
}

// Every start stores the port: the name the store holds is not written again, so a file the user
// wrote keeps its comments and the lines the reader cannot make out. Another name is written.
TEST_F(StoredPort, TheNameTheStoreHoldsIsNotWrittenAgain)
{
    QDir().mkpath(QFileInfo(UserFile()).absolutePath());
    QFile file(UserFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray written = "; the red car\n[General]\ncommsport=/tmp/kart,7,tty\n"
                               "odd line \"quote\n[Mine]\nx=1\n";
    file.write(written);
    file.close();
    ASSERT_TRUE(WriteStoredPort(QStringLiteral("/tmp/kart,7,tty")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), written);
    file.close();
    ASSERT_TRUE(WriteStoredPort(QStringLiteral("/tmp/kart,8,tty")));
    EXPECT_EQ(ReadStoredPort(), QStringLiteral("/tmp/kart,8,tty"));
}

TEST_F(StoredPort, UnwritableStoreIsReportedAsFailure)
{
    // A folder where the file should be makes the store unwritable, even for a privileged user.
    ASSERT_TRUE(QDir().mkpath(UserFile()));
    EXPECT_FALSE(WriteStoredPort(QStringLiteral("COM4")));
    EXPECT_EQ(ReadStoredPort(), QStringLiteral("COM1"));
}
