#include "app/program_folder.h"

#include <windows.h>

#include "engine/program_folder.h"
#include "sysaccess/module_path.h"
#include "sysaccess/trace.h"

namespace veltrane {

std::wstring SettleInProgramFolder() {
    const std::wstring folder = ExecutableFolder();
    SetProgramFolder(folder);
    // A drive root needs its backslash to name the root.
    const std::wstring directory =
        folder.size() == 2 && folder[1] == L':' ? folder + L'\\' : folder;
    if (directory.empty() || !SetCurrentDirectoryW(directory.c_str()))
        Trace(L"The program's folder \"%ls\" did not become the current directory\n",
              folder.c_str());
    return folder;
}

}  // namespace veltrane
