#include "comms.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int kWaitMs = 5000;

// Ports as a Windows machine would list them, in device-map order.
void ThreePorts(TComPortEnumerator &e)
{
    e.Merge({"COM10", "COM3", "COM1"},
            {{"COM3", "USB Serial Port (COM3)", ""}, {"COM10", "", "Bluetooth link"}}, false);
}

// Runs `action` once the dialog is showing modally, then returns what Execute returned.
int ExecuteWith(TfrmComms &dialog, const QString &current,
                const std::function<void(TfrmComms &)> &action)
{
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        if (QTest::qWaitFor([&] { return dialog.isVisible(); }, kWaitMs))
            action(dialog);
        else
            dialog.reject();
    });
    return dialog.Execute(current);
}

} // namespace

TEST(PortDialog, WindowAndControlsHaveTheirLayout)
{
    TfrmComms dialog;
    EXPECT_EQ(dialog.objectName(), QStringLiteral("frmComms"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Serial Communications"));
    EXPECT_EQ(dialog.size(), QSize(304, 144));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(dialog.font().pixelSize(), 11);

    struct Row
    {
        const char *name;
        QRect geometry;
        const char *text;
    };
    const Row rows[] = {
        {"Label1", QRect(24, 21, 49, 13), "Serial Port"},
        {"cmbSerialPort", QRect(24, 40, 249, 21), nullptr},
        {"btnOK", QRect(24, 88, 75, 25), "OK"},
        {"btnCancel", QRect(198, 88, 75, 25), "Cancel"},
    };
    for (const Row &row : rows) {
        auto *widget = dialog.findChild<QWidget *>(QString::fromLatin1(row.name));
        ASSERT_NE(widget, nullptr) << row.name;
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            EXPECT_EQ(label->text(), QString::fromLatin1(row.text));
            // A label grows where the face in use is wider than Tahoma, and only then.
            EXPECT_EQ(label->pos(), row.geometry.topLeft());
            EXPECT_EQ(label->size(), row.geometry.size().expandedTo(label->sizeHint()));
            continue;
        }
        EXPECT_EQ(widget->geometry(), row.geometry) << row.name;
        if (auto *button = qobject_cast<QPushButton *>(widget)) {
            EXPECT_EQ(button->text(), QString::fromLatin1(row.text));
        }
    }
    EXPECT_TRUE(dialog.btnOK->isDefault());
    EXPECT_FALSE(dialog.cmbSerialPort->isEditable());
}

TEST(PortDialog, ListsPortsInOrderAndPreselectsTheCurrentOneIgnoringCase)
{
    struct Row
    {
        const char *current;
        int selected;
    };
    for (const Row row : {Row {"com3", 1}, Row {"COM10", 2}, Row {"COM7", -1}, Row {"", -1}}) {
        TfrmComms dialog;
        dialog.SetEnumerator(ThreePorts);
        QStringList items;
        int selected = -2;
        const int result = ExecuteWith(dialog, QString::fromLatin1(row.current), [&](TfrmComms &d) {
            for (int i = 0; i < d.cmbSerialPort->count(); ++i)
                items.append(d.cmbSerialPort->itemText(i));
            selected = d.cmbSerialPort->currentIndex();
            QTest::mouseClick(d.btnOK, Qt::LeftButton);
        });
        EXPECT_EQ(result, 1) << row.current;
        EXPECT_EQ(
            items,
            QStringList({"Communications Port (COM1)", "USB Serial Port (COM3)", "Bluetooth link"}))
            << row.current;
        EXPECT_EQ(selected, row.selected) << row.current;
        // OK without a choice keeps the current port exactly as given.
        EXPECT_EQ(dialog.SelectedPort, QString::fromLatin1(row.current)) << row.current;
    }
}

TEST(PortDialog, ChoosingAnItemSelectsItsShortName)
{
    TfrmComms dialog;
    dialog.SetEnumerator(ThreePorts);
    const int result = ExecuteWith(dialog, QStringLiteral("COM1"), [](TfrmComms &d) {
        QTest::keyClick(d.cmbSerialPort, Qt::Key_Down);
        QTest::keyClick(d.cmbSerialPort, Qt::Key_Down);
        QTest::keyClick(&d, Qt::Key_Return); // OK is the default button
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dialog.SelectedPort, QStringLiteral("COM10"));
}

TEST(PortDialog, CancelEscapeAndCloseReturnTwo)
{
    const std::function<void(TfrmComms &)> ways[] = {
        [](TfrmComms &d) { QTest::mouseClick(d.btnCancel, Qt::LeftButton); },
        [](TfrmComms &d) { QTest::keyClick(&d, Qt::Key_Escape); },
        [](TfrmComms &d) { d.close(); },
    };
    for (const auto &way : ways) {
        TfrmComms dialog;
        dialog.SetEnumerator(ThreePorts);
        EXPECT_EQ(ExecuteWith(dialog, QStringLiteral("COM3"), way), 2);
        EXPECT_EQ(dialog.SelectedPort, QStringLiteral("COM3"));
    }
}

TEST(PortDialog, EachExecuteRebuildsTheListAndNoPortsLeavesItEmpty)
{
    TfrmComms dialog;
    dialog.SetEnumerator(ThreePorts);
    ExecuteWith(dialog, QStringLiteral("COM1"), [](TfrmComms &d) { d.reject(); });
    EXPECT_EQ(dialog.cmbSerialPort->count(), 3);

    dialog.SetEnumerator([](TComPortEnumerator &e) { e.Merge({}, {}, false); });
    int count = -1;
    const int result = ExecuteWith(dialog, QStringLiteral("COM1"), [&](TfrmComms &d) {
        count = d.cmbSerialPort->count();
        QTest::mouseClick(d.btnOK, Qt::LeftButton);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(dialog.SelectedPort, QStringLiteral("COM1"));
}

TEST(PortDialog, APlainStoredNameStillPreselectsTheAdapterListedUnderItsStableName)
{
    QTemporaryDir dir;
    const QString devices = dir.filePath(QStringLiteral("dev"));
    const QString links = dir.filePath(QStringLiteral("by-id"));
    QDir().mkpath(devices);
    QDir().mkpath(links);
    QFile node(devices + QStringLiteral("/ttyUSB0"));
    ASSERT_TRUE(node.open(QIODevice::WriteOnly));
    const QString stable = links + QStringLiteral("/usb-FTDI_FT232R_A50285BI-if00-port0");
    ASSERT_TRUE(QFile::link(QStringLiteral("../dev/ttyUSB0"), stable));

    TfrmComms dialog;
    dialog.SetEnumerator([&](TComPortEnumerator &e) {
        e.Merge({"ttyS0", "ttyUSB0"}, {{"ttyUSB0", "", "FT232R USB UART"}}, true);
        e.UseStableNames(links, devices);
    });
    int shown = -2;
    EXPECT_EQ(ExecuteWith(dialog, QStringLiteral("ttyUSB0"),
                          [&](TfrmComms &d) {
                              shown = d.cmbSerialPort->currentIndex();
                              d.btnOK->click();
                          }),
              TfrmComms::kResultOk);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(dialog.SelectedPort, QStringLiteral("ttyUSB0")) << "OK alone keeps the stored name";

    // Choosing it stores the name that follows the adapter.
    EXPECT_EQ(ExecuteWith(dialog, QStringLiteral("ttyUSB0"),
                          [](TfrmComms &d) {
                              QTest::keyClick(d.cmbSerialPort, Qt::Key_Up);
                              QTest::keyClick(d.cmbSerialPort, Qt::Key_Down);
                              d.btnOK->click();
                          }),
              TfrmComms::kResultOk);
    EXPECT_EQ(dialog.SelectedPort, stable);
}
