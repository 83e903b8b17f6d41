// SourceListing: the snapshot of a folder's file names that a run walks, with its filter
// (ordinary visible files only) and order (locale-aware, ignoring case).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace picbatch {

// The names of the folder's regular, visible files (not starting with "."; symlinks
// followed; folders, FIFOs, sockets, devices and broken links left out), in ascending
// locale-aware order ignoring case, ties broken by bytes. A folder that cannot be read
// gives no names and no error.
std::vector<std::string> ListFolderFiles(const std::string& folder);

// Why a visible entry with a picture's name is not in the listing.
enum class PassedOverReason {
    NotRegularFile,  // a FIFO, socket or device, itself or at the end of its links
    Folder,          // a folder, itself or at the end of its links ("x.jpg/")
    LinkLoop,        // symbolic links that lead back to themselves
    DanglingLink,    // a symbolic link to nothing
    Inaccessible,    // what it is cannot be learnt (no search permission on a link's way)
    FolderLink,      // a symbolic link to a folder, which a walk through subfolders does not follow
    EmptyLine,       // an empty line of a list of files
    Duplicate,       // a list's line naming a file an earlier line named
};

// Why an entry whose links lead to something other than a regular file or a folder is
// passed over, from the errno of its stat.
PassedOverReason PassedOverReasonOfStatError(int errnum);

struct PassedOverEntry {
    std::string name;
    PassedOverReason reason;
};

// ListFolderFiles's names, and the visible entries it leaves out whose names are pictures'
// (IsPictureEntry), each with why, in the same order.
struct FolderListing {
    std::vector<std::string> files;
    std::vector<PassedOverEntry> passedOver;
};
FolderListing ListFolderAccounted(const std::string& folder);

// Sorts names in the listing's order.
void SortNames(std::vector<std::string>& names);

// The user-visible text for a failure to enter a folder: "File not found",
// "Invalid filename", "Too many open files", "File access denied" or "I/O error <errno>".
std::string FolderErrorText(int errnum);

// Makes folder the process's current folder; throws Error with FolderErrorText.
void EnterFolder(const std::string& folder);

// The process's current folder as the system reports it.
std::string CurrentFolder();

// EnterFolder(folder), then the folder as the system reports it (absolute, links resolved),
// as the folder chooser shows a folder it entered.
std::string EnteredFolder(const std::string& folder);

class SourceListing {
public:
    // The start folder is the process's current folder now; nothing is listed yet.
    SourceListing();

    // Takes the listing of folder (an absolute path without trailing "/", or "/") unless it
    // is the listed folder already; the empty text changes nothing. The first call of any
    // member first lists the start folder. Throws Error; the listing is then unchanged.
    void SelectFolder(const std::string& folder);
    int Count();
    // 0 <= index < Count(); other indexes throw Error "List index out of bounds (<index>)".
    std::string EntryAt(int index);
    // All entries, in order.
    std::vector<std::string> Entries();

    const std::string& ListedFolder() const { return m_listedFolder; }

    // Called with true from the 101st entry of a taking on, and with false when that
    // taking ends (also on failure).
    void SetBusyCallback(std::function<void(bool)> callback) { m_busy = std::move(callback); }

private:
    void EnsureTaken();
    // Enters folder and takes its listing; the listed folder becomes the current folder as
    // the system reports it. Throws Error when folder cannot be entered, changing nothing.
    void Take(const std::string& folder);

    std::string m_listedFolder;
    std::vector<std::string> m_entries;
    bool m_taken = false;
    std::function<void(bool)> m_busy;
};

}  // namespace picbatch
