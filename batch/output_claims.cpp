// Collision checks between the outputs of one run and its sources.
#include "batch/output_claims.h"

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

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
