// The program's start-up: its command line, and the windows it creates as the user sees them.

#include "mainFixture.h"

#include "compare.h"
#include "liveData.h"
#include "liveRecorder.h"
#include "splash.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>

#include <memory>

namespace {

// The text a caption shows: a single "&" marks the short-cut letter and takes no room.
QString Shown(const QString &caption)
{
    QString text;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        text += caption[i];
    }
    return text;
}

QString Name(const QObject *o)
{
    return o->objectName().isEmpty() ? QString::fromLatin1(o->metaObject()->className())
                                     : o->objectName();
}

// Every caption of the window whose text does not fit the place it is drawn in.
QStringList Clipped(QWidget *window)
{
    QStringList clipped;
    const auto check = [&](const QObject *o, const QString &text, QSize need, QSize room) {
        if (need.width() > room.width() || need.height() > room.height())
            clipped << QStringLiteral("%1/%2 \"%3\": needs %4x%5, has %6x%7")
                           .arg(Name(window), Name(o), text)
                           .arg(need.width())
                           .arg(need.height())
                           .arg(room.width())
                           .arg(room.height());
    };

    for (QWidget *w : window->findChildren<QWidget *>()) {
        const QFontMetrics fm = w->fontMetrics();
        if (auto *label = qobject_cast<QLabel *>(w)) {
            if (!label->text().isEmpty())
                check(label, label->text(), label->sizeHint(), label->size());
        } else if (qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w)) {
            const auto *button = static_cast<QAbstractButton *>(w);
            check(button, button->text(), button->sizeHint(), button->size());
        } else if (auto *button = qobject_cast<QPushButton *>(w)) {
            // Styles give push buttons a minimum width; only the text must fit inside the frame.
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect contents
                = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            const QString text = Shown(button->text());
            check(button, text, QSize(fm.horizontalAdvance(text), fm.height()), contents.size());
        } else if (auto *box = qobject_cast<QGroupBox *>(w)) {
            QStyleOptionGroupBox option;
            option.initFrom(box);
            option.text = box->title();
            option.lineWidth = 1;
            option.textAlignment = box->alignment();
            option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            const QRect title = box->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                             QStyle::SC_GroupBoxLabel, box);
            const QString text = Shown(box->title());
            // The title's place is cut by the box's own edges.
            check(box, text, QSize(fm.horizontalAdvance(text), fm.height()),
                  title.intersected(box->rect()).size());
        } else if (auto *bar = qobject_cast<QMenuBar *>(w)) {
            for (QAction *a : bar->actions()) {
                if (!a->isVisible())
                    continue;
                const QString text = Shown(a->text());
                check(a, text, QSize(fm.horizontalAdvance(text), fm.height()),
                      bar->actionGeometry(a).intersected(bar->rect()).size());
            }
        }
    }
    // Menus are windows of their own, owned by the window's menu bar.
    for (QMenu *menu : window->findChildren<QMenu *>()) {
        menu->ensurePolished();
        menu->adjustSize();
        const QFontMetrics fm = menu->fontMetrics();
        for (QAction *a : menu->actions()) {
            if (a->isSeparator() || !a->isVisible())
                continue;
            const QString text = Shown(a->text());
            check(a, text, QSize(fm.horizontalAdvance(text), fm.height()),
                  menu->actionGeometry(a).size());
        }
    }
    return clipped;
}

} // namespace

// Every label, check box, radio button, button, group box and menu item of every window shows
// its whole text with the fonts installed here, whichever of the typefaces the windows ask for
// are missing.
TEST_F(MainWindowTest, EveryCaptionOfEveryWindowIsReadableWhole)
{
    Create({"shown"}, true); // the debug window and the diagnostic labels too
    window->show();
    TfrmSplash splash(nullptr, 60000);
    splash.show();
    about->show();
    comms->show();
    progress->StartProgress(QStringLiteral("Download to ECU"), 4);
    TfrmLiveData *liveData = window->LiveData->Window();
    liveData->show();
    TfrmCompare compare(window.get());
    compare.show();

    QStringList clipped;
    for (QWidget *w :
         std::initializer_list<QWidget *> {window.get(), &splash, about.get(), comms.get(),
                                           debug.get(), progress.get(), liveData, &compare})
        clipped += Clipped(w);
    EXPECT_TRUE(clipped.isEmpty()) << clipped.join(QLatin1Char('\n')).toStdString();
}

// The program takes no option of its own, so every argument counts, also those the toolkit
// recognises and removes from the command line before the program sees it.
TEST(Startup, AnyArgumentShowsTheDebugWindow)
{
    QTemporaryDir settings;
    ASSERT_TRUE(settings.isValid());
    // A port that cannot exist, so the program never writes to a real serial line.
    QDir(settings.path()).mkpath(QStringLiteral("Kestrova"));
    QFile store(settings.path() + QStringLiteral("/Kestrova/Orbanel.conf"));
    ASSERT_TRUE(store.open(QIODevice::WriteOnly));
    store.write("[General]\ncommsport=/nonexistent/tty\n");
    store.close();

    struct Row
    {
        QStringList arguments;
        const char *expected;
    };
    const Row rows[] = {
        {{}, "debug window hidden"},
        {{QStringLiteral("vehicle.ini")}, "debug window shown"},
        {{QStringLiteral("-reverse")}, "debug window shown"},
        {{QStringLiteral("-style"), QStringLiteral("fusion")}, "debug window shown"},
        {{QStringLiteral("-platform"), QStringLiteral("offscreen")}, "debug window shown"},
        {{QStringLiteral("-session"), QStringLiteral("orbanel")}, "debug window shown"},
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), settings.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    std::vector<std::unique_ptr<QProcess>> programs;
    for (const Row &row : rows) {
        auto program = std::make_unique<QProcess>();
        program->setProcessEnvironment(env);
        program->start(QStringLiteral(STARTUP_PROBE_PATH), row.arguments);
        programs.push_back(std::move(program));
    }
    for (std::size_t i = 0; i < programs.size(); ++i) {
        QProcess &program = *programs[i];
        const QString args = rows[i].arguments.join(QLatin1Char(' '));
        ASSERT_TRUE(program.waitForFinished(60000)) << args.toStdString();
        EXPECT_EQ(program.readAllStandardOutput().trimmed().toStdString(), rows[i].expected)
            << "arguments: " << args.toStdString();
    }
}
