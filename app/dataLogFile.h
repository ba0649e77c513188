#pragma once

#include "dataLog.h"

#include <QFile>
#include <QString>

#include <functional>
#include <future>

class QDateTime;

// One data log file being written. Every row goes to the operating system at once (a crash of
// the program loses nothing); a sync pushes it through to the disk, which the owner does at most
// a second after a row, so a pulled power cord loses at most that second.
class TDataLogFile
{
public:
    // How a sync of the rows handed over so far stands.
    enum class TSync { Idle, Running, Done, Failed };
    ~TDataLogFile();

    // Creates the file (never overwriting one), writes the header and starts its sync (see
    // StartSync). False when it cannot.
    [[nodiscard]] bool Open(const QString &path);
    // Opens a new log in folder under FileName(); when that name is taken (two runs started in
    // the same second) the next free copy number is added. False when the folder takes no file.
    [[nodiscard]] bool OpenNew(const QString &folder, const QDateTime &when,
                               const QString &profileName);
    // False when the rows did not all come through to the disk: a sync still running, or the
    // last one, failed.
    bool Close();
    // The same without waiting for the disk: the rows go to the system and the file is closed at
    // once, and a worker with a descriptor of its own waits for the disk after a sync still
    // running. The future tells what Close() would have.
    [[nodiscard]] std::future<bool> CloseInBackground();
    bool IsOpen() const { return file_.isOpen(); }
    QString Path() const { return path_; }

    // False once a write failed; the file stays open until the owner closes it.
    [[nodiscard]] bool WriteSample(std::string_view time, const TLogSample &sample);
    [[nodiscard]] bool WriteMarker(std::string_view time, std::int64_t ms, std::string_view event);
    // Pushes every row through to the disk and waits for it (at a close).
    [[nodiscard]] bool Sync();
    // Rows written since the last sync began.
    bool Unsynced() const { return unsynced_; }
    // The open file has no name left in any folder: deleted, or replaced by another of its name.
    // Its rows would be lost at the close.
    bool Deleted() const;
    // Takes the name the running log has now, after another program renamed or moved it within
    // its file system; true when it changed. Where the open file's name cannot be told, false.
    bool FollowRename();
    // The same without waiting: the disk's wait (long on a slow stick, or while another program
    // writes much) runs on a worker of its own with a copy of the file's descriptor, so the
    // window goes on. False when it cannot begin; the file is then as broken as by a failed
    // write. PollSync() tells Running until the worker is done, then Done or Failed once, then
    // Idle. Close() waits for a sync still running.
    [[nodiscard]] bool StartSync();
    TSync PollSync();

    // The disk's wait on a descriptor of the file, true when it came through; tests set their own.
    std::function<bool(int descriptor)> SyncDescriptor = SyncToDisk;
    static bool SyncToDisk(int descriptor);

    // The log's name in its folder: date, time and profile name, characters that no file system
    // takes replaced and a long profile name shortened ("2026-12-09 14-03-07 Kart 7.csv"); a
    // copy after the first is numbered ("2026-12-09 14-03-07 Kart 7 (2).csv").
    static QString FileName(const QDateTime &when, const QString &profileName, int copy = 1);
    static constexpr int kMaxProfileNameBytes = 120;
    static constexpr int kMaxCopies = 99;

private:
    [[nodiscard]] bool WriteLine(const std::string &line);

    QFile file_;
    QString path_;
    bool unsynced_ = false;
    std::future<bool> running_;
};
