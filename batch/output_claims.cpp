// Collision checks between the outputs of one run and its sources.
#include "batch/output_claims.h"

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "batch/entry_paths.h"
#include "imaging/error.h"
#include "pictures/files/file_io.h"
#include "pictures/files/long_path.h"

namespace picbatch {

namespace {

std::string FolderKey(const std::string& folder)
{
    // "folder/", "folder/." and a link to folder must all give the same key; a folder that
    // cannot be resolved keeps its absolute spelling.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(folder, error);
    if (error)
        return folder;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
    if (error)
        resolved = absolute.lexically_normal();
    std::string key = resolved.string();
    while (key.size() > 1 && key.back() == '/')
        key.pop_back();
    return key;
}

std::string JoinKey(const std::string& folderKey, const std::string& name)
{
    return folderKey == "/" ? "/" + name : folderKey + "/" + name;
}

std::string NameOf(const std::string& key)
{
    return key.substr(key.rfind('/') + 1);
}

// The device and inode of the file at path (links followed), when there is one. Any path
// length: a path the system refuses must not pass for a missing file, or an original there
// could be replaced.
std::optional<std::pair<dev_t, ino_t>> IdentityOf(const std::string& path)
{
    struct stat info {};
    if (!StatPath(path, info) || S_ISDIR(info.st_mode))
        return std::nullopt;
    return std::pair{info.st_dev, info.st_ino};
}

// The part of key below folderKey ("a/b.jpg"), when key lies inside it.
std::optional<std::string> KeyBelow(const std::string& key, const std::string& folderKey)
{
    if (folderKey.empty())
        return std::nullopt;
    const std::string prefix = folderKey == "/" ? folderKey : folderKey + "/";
    if (!key.starts_with(prefix))
        return std::nullopt;
    return key.substr(prefix.size());
}

// The path of the file at path inside the source tree rootKey, as its entry would be listed
// ("2024/A.jpg"), when it would be one: a picture's name, no hidden folder or name on the
// way, not inside excludedKey.
std::optional<std::string> TreeEntryOf(const std::string& path, const std::string& rootKey,
                                       const std::string& excludedKey)
{
    // The file itself resolved: a link in the destination to a source is that source.
    std::error_code error;
    std::string key = std::filesystem::canonical(path, error).string();
    if (error)
        key = FileKey(path);
    if (KeyBelow(key, excludedKey))
        return std::nullopt;
    std::optional<std::string> entry = KeyBelow(key, rootKey);
    if (!entry || entry->empty() || !IsPictureEntry(*entry))
        return std::nullopt;
    if (entry->front() == '.' || entry->find("/.") != std::string::npos)
        return std::nullopt;
    return entry;
}

}  // namespace

std::string FileKey(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return JoinKey(FolderKey("."), path);
    return JoinKey(FolderKey(slash == 0 ? "/" : path.substr(0, slash)), path.substr(slash + 1));
}

std::string SameOutputMessage(const std::string& earlierEntry)
{
    return "输出文件与先处理的“" + earlierEntry + "”的输出文件同名，未覆盖";
}

OutputClaims::Claim::Claim(Claim&& other) noexcept
    : m_owner(std::exchange(other.m_owner, nullptr)), m_outputKey(std::move(other.m_outputKey))
{
}

OutputClaims::Claim::~Claim()
{
    if (m_owner)
        m_owner->Release(m_outputKey);
}

void OutputClaims::Clear()
{
    const std::lock_guard lock(m_mutex);
    m_written.clear();
    m_sources.clear();
    m_treeKey.clear();
    m_excludedKey.clear();
}

void OutputClaims::SetSources(const std::string& folder, const std::vector<std::string>& entries)
{
    std::map<FileIdentity, std::string> sources;
    const std::string prefix = folder.empty() ? "/" : folder + "/";
    for (const std::string& entry : entries) {
        if (const auto identity = IdentityOf(prefix + entry))
            sources.emplace(*identity, entry);
    }
    const std::lock_guard lock(m_mutex);
    m_sources = std::move(sources);
}

void OutputClaims::SetSourceTree(const std::string& root, const std::string& excluded)
{
    std::string rootKey = FolderKey(root);
    std::string excludedKey = excluded.empty() ? std::string() : FolderKey(excluded);
    const std::lock_guard lock(m_mutex);
    m_treeKey = std::move(rootKey);
    m_excludedKey = std::move(excludedKey);
}

std::string OwnSourceMessage(const std::string& entry)
{
    return "输出文件就是源图片“" + entry + "”本身，未覆盖原图";
}

std::string OtherSourceMessage(const std::string& entry)
{
    return "输出文件会覆盖源图片“" + entry + "”，未写入";
}

OutputClaims::Claim OutputClaims::ClaimOutput(const std::string& outputPath, const std::string& sourcePath)
{
    std::string outputKey = FileKey(outputPath);
    const std::string sourceKey = FileKey(sourcePath);
    const std::lock_guard lock(m_mutex);
    const auto written = m_written.find(outputKey);
    if (written != m_written.end()) {
        if (written->second != sourceKey)
            throw Error(SameOutputMessage(NameOf(written->second)));
        return Claim(nullptr, std::move(outputKey));  // held from before: nothing to give back
    }
    // An original is never replaced: not another entry's, which would destroy a source before
    // (or instead of) its own conversion, and not the entry's own (the destination is the
    // source folder, or a link to it, and the name already has an upper-case stem). A file
    // that is gone by now has nothing left to lose.
    if (const auto existing = IdentityOf(outputPath)) {
        if (existing == IdentityOf(sourcePath))
            throw Error(OwnSourceMessage(NameOf(sourceKey)));
        if (const auto source = m_sources.find(*existing); source != m_sources.end())
            throw Error(OtherSourceMessage(source->second));
        if (const auto entry = TreeEntryOf(outputPath, m_treeKey, m_excludedKey))
            throw Error(OtherSourceMessage(*entry));
    }
    m_written.emplace(outputKey, sourceKey);
    return Claim(this, std::move(outputKey));
}

void OutputClaims::Release(const std::string& outputKey)
{
    const std::lock_guard lock(m_mutex);
    m_written.erase(outputKey);
}

}  // namespace picbatch
