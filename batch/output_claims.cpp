// Collision checks between the outputs of one run and its sources.
#include "batch/output_claims.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "imaging/error.h"
#include "pictures/file_io.h"

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
    const std::lock_guard lock(m_mutex);
    m_sources.clear();
    // One resolution of the folder serves every entry of the listing.
    const std::string folderKey = FolderKey(folder.empty() ? "/" : folder);
    for (const std::string& entry : entries)
        m_sources.insert(JoinKey(folderKey, entry));
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
    // Writing over another entry's picture would destroy a source before (or instead of) its
    // own conversion; a file that is gone by now has nothing left to lose.
    if (m_sources.contains(outputKey) && outputKey != sourceKey && FileExists(outputPath))
        throw Error("输出文件会覆盖源图片“" + NameOf(outputKey) + "”，未写入");
    m_written.emplace(outputKey, sourceKey);
    return Claim(this, std::move(outputKey));
}

void OutputClaims::Release(const std::string& outputKey)
{
    const std::lock_guard lock(m_mutex);
    m_written.erase(outputKey);
}

}  // namespace picbatch
