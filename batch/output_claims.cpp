// Collision checks between the outputs of one run and its sources.
#include "batch/output_claims.h"

#include <filesystem>
#include <system_error>

#include "imaging/error.h"
#include "pictures/file_io.h"

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

void OutputClaims::Clear()
{
    m_written.clear();
    m_sources.clear();
}

void OutputClaims::SetSources(const std::string& folder, const std::vector<std::string>& entries)
{
    m_sources.clear();
    // One resolution of the folder serves every entry of the listing.
    const std::string folderKey = FolderKey(folder.empty() ? "/" : folder);
    for (const std::string& entry : entries)
        m_sources.insert(JoinKey(folderKey, entry));
}

void OutputClaims::Check(const std::string& outputPath, const std::string& sourcePath) const
{
    const std::string outputKey = FileKey(outputPath);
    const std::string sourceKey = FileKey(sourcePath);
    if (auto written = m_written.find(outputKey); written != m_written.end() && written->second != sourceKey)
        throw Error(SameOutputMessage(NameOf(written->second)));
    CheckNotOtherSource(outputPath, sourcePath);
}

void OutputClaims::CheckNotOtherSource(const std::string& outputPath, const std::string& sourcePath) const
{
    if (m_sources.empty())
        return;
    const std::string outputKey = FileKey(outputPath);
    // Writing over another entry's picture would destroy a source before (or instead of) its
    // own conversion; a file that is gone by now has nothing left to lose.
    if (m_sources.contains(outputKey) && outputKey != FileKey(sourcePath) && FileExists(outputPath))
        throw Error("输出文件会覆盖源图片“" + NameOf(outputKey) + "”，未写入");
}

void OutputClaims::Record(const std::string& outputPath, const std::string& sourcePath)
{
    m_written.insert_or_assign(FileKey(outputPath), FileKey(sourcePath));
}
