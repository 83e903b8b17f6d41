// Loads ICU's collation library with dlopen and looks up the functions by their versioned
// names (ICU appends its major version to every exported name: ucol_open_72).
#include "batch/icu_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <optional>

namespace picbatch {

namespace {

#define PICBATCH_TEXT(x) #x
#define PICBATCH_EXPANDED_TEXT(x) PICBATCH_TEXT(x)

// The library name with the version of the headers, as the linker would have recorded it.
constexpr const char* kLibraryName = "libicui18n.so." PICBATCH_EXPANDED_TEXT(U_ICU_VERSION_MAJOR_NUM);

template <typename Function>
bool Find(void* library, const char* name, Function& function)
{
    // dlsym returns data and function addresses alike as void*; POSIX guarantees the cast.
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

}  // namespace

std::optional<IcuLibrary> LoadIcu(const char* libraryName)
{
    // Never closed: the collators of other threads may still use it at exit.
    void* library = ::dlopen(libraryName, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return std::nullopt;
    IcuLibrary icu{};
    // The names are macros of ICU's headers that expand to the versioned names; u_foldCase and
    // uloc_addLikelySubtags live in libicuuc, which the collation library depends on, so
    // dlsym finds them too.
    const bool found = Find(library, PICBATCH_EXPANDED_TEXT(ucol_open), icu.open)
        && Find(library, PICBATCH_EXPANDED_TEXT(ucol_setAttribute), icu.setAttribute)
        && Find(library, PICBATCH_EXPANDED_TEXT(ucol_getSortKey), icu.getSortKey)
        && Find(library, PICBATCH_EXPANDED_TEXT(ucol_close), icu.close)
        && Find(library, PICBATCH_EXPANDED_TEXT(u_foldCase), icu.foldCase)
        && Find(library, PICBATCH_EXPANDED_TEXT(uloc_addLikelySubtags), icu.addLikelySubtags);
    if (!found) {
        ::dlclose(library);
        return std::nullopt;
    }
    return icu;
}

const char* IcuLibraryName()
{
    return kLibraryName;
}

std::string IcuMissingNotice()
{
    return std::string("picbatch: 无法加载排序库 ") + kLibraryName
        + "，文件名按不区分英文字母大小写的编码顺序排列 / cannot load the collation library " + kLibraryName
        + "; file names are ordered by code point, ignoring the case of ASCII letters\n";
}

const IcuLibrary* LoadedIcu()
{
    static const std::optional<IcuLibrary> icu = [] {
        std::optional<IcuLibrary> loaded = LoadIcu(kLibraryName);
        if (!loaded)
            std::fputs(IcuMissingNotice().c_str(), stderr);
        return loaded;
    }();
    return icu ? &*icu : nullptr;
}

}  // namespace picbatch
