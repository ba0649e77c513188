#include "prompts.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

struct ButtonMap
{
    TPrompts::Button Ours;
    QMessageBox::StandardButton Theirs;
};

constexpr ButtonMap kButtons[] = {
    {TPrompts::Yes, QMessageBox::Yes},     {TPrompts::No, QMessageBox::No},
    {TPrompts::Ok, QMessageBox::Ok},       {TPrompts::Cancel, QMessageBox::Cancel},
    {TPrompts::Abort, QMessageBox::Abort},
};

} // namespace

TPrompts::Button TWidgetPrompts::Ask(QWidget *parent, Kind kind, const QString &text, int buttons)
{
    QMessageBox box(parent);
    static const char *const titles[] = {"Confirm", "Warning", "Information", "Error"};
    static const QMessageBox::Icon icons[] = {QMessageBox::Question, QMessageBox::Warning,
                                              QMessageBox::Information, QMessageBox::Critical};
    box.setWindowTitle(QLatin1String(titles[kind]));
    box.setIcon(icons[kind]);
    // Messages separate their lines with a carriage return; the box breaks lines on LF.
    box.setText(QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    QMessageBox::StandardButtons standard;
    for (const ButtonMap &b : kButtons)
        if (buttons & b.Ours)
            standard |= b.Theirs;
    box.setStandardButtons(standard);

    // Esc and the close box give the mildest answer offered.
    for (Button escape : {Cancel, No, Abort, Ok}) {
        if (buttons & escape) {
            for (const ButtonMap &b : kButtons)
                if (b.Ours == escape)
                    box.setEscapeButton(b.Theirs);
            break;
        }
    }
    const int result = box.exec();
    for (const ButtonMap &b : kButtons)
        if (result == b.Theirs)
            return b.Ours;
    return (buttons & Cancel) ? Cancel : (buttons & No) ? No : (buttons & Abort) ? Abort : Ok;
}

namespace {

// The folder itself, or the nearest folder above it that is there: a file dialog given a folder
// that is not there opens above it with the folder's name typed in as the file name, which a
// Save would then use.
QString ExistingFolder(const QString &folder)
{
    QFileInfo info(folder);
    while (!info.isDir() && !info.isRoot() && !info.filePath().isEmpty()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            break;
        info.setFile(parent);
    }
    return info.isDir() ? info.absoluteFilePath() : folder;
}

} // namespace

QString TWidgetPrompts::OpenFileName(QWidget *parent, const QString &folder, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, QString(), ExistingFolder(folder), filter);
}

QString TWidgetPrompts::SaveFileName(QWidget *parent, const QString &folder, const QString &filter,
                                     const QString &defaultSuffix)
{
    QFileDialog dialog(parent, QString(), ExistingFolder(folder), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    // The overwrite question is the window's own, with its own wording.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    QString chosen = dialog.selectedFiles().constFirst();
    // A new name with a dot in it ("Kart 7.1") has a suffix to the dialog, which then adds none:
    // the file would not be listed under the filter it was saved with. A file chosen that is
    // there already keeps its name.
    if (!defaultSuffix.isEmpty() && !QFileInfo::exists(chosen)
        && QFileInfo(chosen).suffix().compare(defaultSuffix, Qt::CaseInsensitive) != 0)
        chosen += QLatin1Char('.') + defaultSuffix;
    return chosen;
}

TPrompts::Button TTrackedPrompts::Ask(QWidget *parent, Kind kind, const QString &text, int buttons)
{
    return Track([&] { return inner_->Ask(parent, kind, text, buttons); });
}

QString TTrackedPrompts::OpenFileName(QWidget *parent, const QString &folder, const QString &filter)
{
    return Track([&] { return inner_->OpenFileName(parent, folder, filter); });
}

QString TTrackedPrompts::SaveFileName(QWidget *parent, const QString &folder, const QString &filter,
                                      const QString &defaultSuffix)
{
    return Track([&] { return inner_->SaveFileName(parent, folder, filter, defaultSuffix); });
}
