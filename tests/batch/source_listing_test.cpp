// The source listing over real temporary folders: filter, order, snapshot rules, the
// current folder it leaves behind, error texts and the busy indication.
#include "batch/source_listing.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "imaging/error.h"

namespace picbatch {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

namespace {

void Touch(const fs::path& path)
{
    std::ofstream(path) << "x";
}

Names EntriesOf(SourceListing& listing)
{
    Names names;
    for (int i = 0; i < listing.Count(); ++i)
        names.push_back(listing.EntryAt(i));
    return names;
}

template <typename Action>
std::string MessageOf(Action action)
{
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "(no error)";
}

// Every test gets fresh folders under one scratch folder, and the process's current folder
// (shared by everything in this program) back as it was.
class SourceListingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previous = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "listing_test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = fs::canonical(pattern);
    }
    void TearDown() override
    {
        fs::current_path(m_previous);
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
    fs::path Folder(const std::string& name)
    {
        const fs::path folder = m_root / name;
        fs::create_directories(folder);
        return folder;
    }

    fs::path m_previous;
    fs::path m_root;
};

}  // namespace

TEST_F(SourceListingTest, KeepsOnlyVisibleRegularFilesInCaseInsensitiveOrder)
{
    const fs::path x = Folder("x");
    for (const char* name : {"b.JPG", "A.bmp", "note.txt", ".e.jpg", "f.jpg", "noext"})
        Touch(x / name);
    fs::permissions(x / "f.jpg", fs::perms::owner_read);  // read-only files are entries too
    fs::create_directory(x / "d");
    fs::create_directory(x / "d.jpg");
    ASSERT_EQ(::mkfifo((x / "g.jpg").c_str(), 0600), 0);  // would block a run that opens it
    fs::create_symlink("A.bmp", x / "h.bmp");              // a link to a file is a file
    fs::create_symlink("gone.jpg", x / "i.jpg");           // broken link
    fs::create_symlink("d", x / "j.jpg");                  // link to a folder

    SourceListing listing;
    listing.SelectFolder(x.string());
    EXPECT_EQ(EntriesOf(listing), (Names{"A.bmp", "b.JPG", "f.jpg", "h.bmp", "noext", "note.txt"}));
}

TEST_F(SourceListingTest, SortsIgnoringCaseAndBreaksTiesByBytes)
{
    Names names{"b", "x.jpg", "C", "X.jpg", "a", "B2", "x.JPG"};
    SortNames(names);
    EXPECT_EQ(names, (Names{"a", "b", "B2", "C", "X.jpg", "x.JPG", "x.jpg"}));

    // The order does not depend on the order the names come in.
    Names reversed{"x.jpg", "x.JPG", "X.jpg", "C", "B2", "b", "a"};
    SortNames(reversed);
    EXPECT_EQ(reversed, names);

    const fs::path x = Folder("x");
    for (const auto& name : names)
        Touch(x / name);
    EXPECT_EQ(ListFolderFiles(x.string()), names);
    EXPECT_TRUE(ListFolderFiles((m_root / "missing").string()).empty());
}

TEST_F(SourceListingTest, SnapshotChangesOnlyWithAnotherFolder)
{
    const fs::path x = Folder("x");
    const fs::path y = Folder("y");
    Touch(x / "1.jpg");
    SourceListing listing;
    listing.SelectFolder(x.string());
    Touch(x / "2.jpg");

    listing.SelectFolder(x.string());
    EXPECT_EQ(EntriesOf(listing), Names{"1.jpg"});
    // Other spellings of the same folder are the same folder.
    listing.SelectFolder(x.string() + "/");
    fs::create_directory_symlink(x, m_root / "link");
    listing.SelectFolder((m_root / "link").string());
    EXPECT_EQ(EntriesOf(listing), Names{"1.jpg"});

    // A cancelled choice keeps the listing.
    listing.SelectFolder("");
    EXPECT_EQ(EntriesOf(listing), Names{"1.jpg"});
    EXPECT_EQ(listing.ListedFolder(), x.string());

    listing.SelectFolder(y.string());
    EXPECT_EQ(listing.Count(), 0);
    listing.SelectFolder(x.string());
    EXPECT_EQ(EntriesOf(listing), (Names{"1.jpg", "2.jpg"}));
}

TEST_F(SourceListingTest, TakingLeavesTheProcessInTheListedFolder)
{
    const fs::path x = Folder("x");
    const fs::path elsewhere = Folder("elsewhere");
    fs::current_path(elsewhere);
    SourceListing listing;
    listing.SelectFolder(x.string());
    EXPECT_EQ(listing.ListedFolder(), x.string());
    EXPECT_EQ(CurrentFolder(), x.string());

    // Choosing the same folder again does not move the process.
    fs::current_path(elsewhere);
    listing.SelectFolder(x.string());
    EXPECT_EQ(CurrentFolder(), elsewhere.string());
}

TEST_F(SourceListingTest, FirstUseListsTheStartFolder)
{
    const fs::path start = Folder("start");
    const fs::path other = Folder("other");
    Touch(start / "s.jpg");
    fs::current_path(start);
    SourceListing listing;  // the start folder is fixed here ...
    fs::current_path(other);
    Touch(start / "t.bmp");  // ... and listed only at the first use
    EXPECT_EQ(listing.Count(), 2);
    EXPECT_EQ(listing.EntryAt(1), "t.bmp");
    EXPECT_EQ(listing.ListedFolder(), start.string());

    // Even an empty text makes the first taking happen.
    fs::current_path(start);
    SourceListing cancelledFirst;
    fs::current_path(other);
    cancelledFirst.SelectFolder("");
    EXPECT_EQ(EntriesOf(cancelledFirst), (Names{"s.jpg", "t.bmp"}));
}

TEST_F(SourceListingTest, AStartFolderThatIsGoneFailsOnceThenCountsAsTaken)
{
    const fs::path gone = Folder("gone");
    const fs::path y = Folder("y");
    Touch(y / "a.jpg");
    fs::current_path(gone);
    SourceListing listing;
    fs::current_path(m_root);
    fs::remove(gone);
    EXPECT_EQ(MessageOf([&] { listing.Count(); }), "File not found");
    EXPECT_EQ(listing.Count(), 0);
    listing.SelectFolder(y.string());
    EXPECT_EQ(EntriesOf(listing), Names{"a.jpg"});
}

TEST_F(SourceListingTest, FoldersThatCannotBeEnteredLeaveEverythingAsItWas)
{
    const fs::path x = Folder("x");
    Touch(x / "a.jpg");
    Touch(m_root / "plain.txt");
    SourceListing listing;
    listing.SelectFolder(x.string());
    fs::current_path(m_root);

    EXPECT_EQ(MessageOf([&] { listing.SelectFolder((m_root / "missing").string()); }), "File not found");
    EXPECT_EQ(MessageOf([&] { listing.SelectFolder((m_root / "plain.txt").string()); }), "Invalid filename");
    if (::geteuid() != 0) {  // root enters any folder
        const fs::path locked = Folder("locked");
        fs::permissions(locked, fs::perms::none);
        EXPECT_EQ(MessageOf([&] { listing.SelectFolder(locked.string()); }), "File access denied");
        fs::permissions(locked, fs::perms::owner_all);
    }
    EXPECT_EQ(EntriesOf(listing), Names{"a.jpg"});
    EXPECT_EQ(listing.ListedFolder(), x.string());
    EXPECT_EQ(CurrentFolder(), m_root.string());
    EXPECT_EQ(MessageOf([&] { listing.EntryAt(1); }), "List index out of bounds (1)");
}

TEST_F(SourceListingTest, TheRootIsListedAsSlashWithoutItsFolders)
{
    SourceListing listing;
    listing.SelectFolder("/");
    EXPECT_EQ(listing.ListedFolder(), "/");
    for (const auto& name : EntriesOf(listing)) {
        EXPECT_NE(name.front(), '.');
        EXPECT_TRUE(fs::is_regular_file("/" + name)) << name;
    }
}

TEST_F(SourceListingTest, BusyFromTheHundredAndFirstEntryUntilTheTakingEnds)
{
    const fs::path hundred = Folder("hundred");
    const fs::path more = Folder("more");
    for (int i = 0; i < 100; ++i)
        Touch(hundred / (std::to_string(i) + ".jpg"));
    for (int i = 0; i < 101; ++i)
        Touch(more / (std::to_string(i) + ".jpg"));
    std::vector<bool> calls;
    SourceListing listing;
    listing.SetBusyCallback([&](bool on) { calls.push_back(on); });
    listing.SelectFolder(hundred.string());
    EXPECT_TRUE(calls.empty());
    listing.SelectFolder(more.string());
    EXPECT_EQ(calls, (std::vector<bool>{true, false}));
    EXPECT_EQ(listing.Count(), 101);
}

TEST(FolderErrorText, NamesTheCause)
{
    EXPECT_EQ(FolderErrorText(ENOENT), "File not found");
    EXPECT_EQ(FolderErrorText(ENOTDIR), "Invalid filename");
    EXPECT_EQ(FolderErrorText(EMFILE), "Too many open files");
    EXPECT_EQ(FolderErrorText(ENFILE), "Too many open files");
    EXPECT_EQ(FolderErrorText(EACCES), "File access denied");
    EXPECT_EQ(FolderErrorText(EPERM), "File access denied");
    EXPECT_EQ(FolderErrorText(EIO), "I/O error 5");
    EXPECT_EQ(FolderErrorText(ELOOP), "I/O error " + std::to_string(ELOOP));
}

}  // namespace picbatch
