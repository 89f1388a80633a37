// The run's record of every file it moves aside as a backup, kept on disk in
// the game folder, so that a run cut off anywhere (the program killed, the
// power gone, the disk failing) is finished or undone by the next one
// instead of being guessed at.
//
// Before a command moves a file aside, the journal appends the file and the
// name of its backup and makes the record durable; only then is the file
// renamed. When every command has run, the files the run wrote are made
// durable and the journal is marked committed; only then are the backups
// deleted, and the journal last. A run that does not get that far puts back
// every backup listed, last first. A run that starts and finds a journal
// does whichever of the two the journal says before anything else.
//
// On disk: an 8-byte header ("PJNL", u32 format 1), then records of a kind
// byte, a u32 body length, the body and a CRC-32 of the three. A backup
// record's body is the file and its backup below the game folder, each as
// a u32 length and its bytes; the commit record and the record that revokes
// a commit of unknown fate have no body. A record is made durable before
// anything relies on it, so only the last one can be torn by a crash: a
// last record that runs past the end of the file, that ends exactly at the
// end with a wrong checksum, or that is all zeros was never acted on and is
// left out. Anything else that does not read back is damage: an error that
// changes nothing.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "base/types.h"
#include "platform/platform.h"

class CBackupJournal {
public:
    // The journal's name in the game folder: no game file is called so and
    // no clean-up pattern matches it.
    static const char kFileName[];

    // `gameDir`: the game folder with one trailing '\' (GetGameDir).
    explicit CBackupJournal(CString gameDir);
    ~CBackupJournal();
    CBackupJournal(const CBackupJournal&) = delete;
    CBackupJournal& operator=(const CBackupJournal&) = delete;

    // The journal's full path.
    CString Path() const { return gameDir_ + kFileName; }

    // Before a run: deals with a journal that an earlier run left. A
    // committed one has the backups it lists deleted and then `cleanUp`
    // called (the clean-up of a finished run); any other has every backup
    // it lists put back, last first. Then the journal is deleted.
    // Throws CMessageError when it cannot be read (nothing is changed then),
    // is damaged (likewise), or when a backup cannot be deleted or put back
    // (the journal then stays, listing it, for the next run).
    void DealWithLeftOver(const std::function<void()>& cleanUp);

    // Before `original` (a path of the game folder's, as a command builds
    // it) is moved aside: chooses its backup, `wanted` when that name is
    // free, otherwise the first free one of "STEM.2.bak", "STEM.3.bak", ...
    // beside it (STEM: `wanted` without ".bak"), never a name that another
    // backup of this run has; records it durably and returns the backup's
    // full path. Throws CMessageError when the record cannot be made
    // durable or no name is free; nothing may be moved then.
    CString Reserve(const CString& original, const CString& wanted);
    // A file the run made where there was none: its folder entry is made
    // durable with the rest before the commit.
    void NoteNewFile(const CString& path);

    // Whether any backup was recorded.
    bool HasEntries() const { return !entries_.empty(); }

    // When every command has run: makes the folders the run changed
    // durable, then appends the commit record and makes it durable. Throws
    // CMessageError when that fails; the run is then to be undone.
    void Commit();
    // After Commit: deletes every backup listed (a read-only one has its
    // attribute cleared first). One that cannot be deleted stays listed.
    void DeleteBackups();
    // After DeleteBackups and the clean-up: deletes the journal when no
    // backup it lists is left; otherwise keeps it for the next run.
    void Finish();

    // After an interrupted run: puts back every backup listed, last first.
    // `report` gets the message of each one that cannot be put back, which
    // stays listed; the journal is deleted when all are back.
    void RollBack(const std::function<void(const CString&)>& report);
    // Puts back the backups given (full paths, as Reserve returned them),
    // last first: a command's own restore. A backup this journal does not
    // list, or has dealt with, is left alone. Throws CMessageError with the
    // backups that could not be put back.
    void PutBack(const std::vector<CString>& backups);

    struct Entry {
        CString original;  // below the game folder
        CString backup;
        bool settled = false;  // put back, deleted, or known never to have been made
    };
    // What a journal says.
    struct Contents {
        std::vector<Entry> entries;
        bool committed = false;
    };
    // Reads a journal's bytes with every check: false when they are damaged.
    // A torn last record is left out. Every name must stay below the game
    // folder (no drive, no leading separator, no ".." and no "." between
    // separators), and a backup must lie beside its file and end in ".bak".
    static bool Parse(const std::string& bytes, Contents* contents);

private:
    // Reads and checks the journal file; throws CMessageError.
    Contents Read() const;
    // Appends a record and makes it durable; false when either fails (the
    // journal takes no more records then).
    bool Append(const std::string& record, bool* written);
    void PutBackEntry(Entry& entry);
    // Flushes the folders of every file the run moved or made.
    bool FlushFolders();
    // Closes and deletes the journal file; false when it stays.
    bool RemoveFile();
    CString Full(const CString& relative) const { return gameDir_ + relative; }

    CString gameDir_;
    std::vector<Entry> entries_;
    std::set<CString> folders_;                // of the files moved or made, full paths
    std::unique_ptr<platform::IOsFile> file_;  // open while the run appends
    bool broken_ = false;                      // an append failed: no more records
    bool committed_ = false;
    bool commitUnknown_ = false;  // the commit record may be on disk, unflushed
};

// The folder part of a path: everything before its last '\' or '/'
// (double-byte aware); empty without one.
CString FolderOf(const CString& path);
