// UserAssist's stored names decoded to the programs' paths, known folders included.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "plugins/explorer/user_assist_name.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

std::wstring SystemFolder() {
    wchar_t path[MAX_PATH] = {};
    GetSystemDirectoryW(path, MAX_PATH);
    return path;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    GetEnvironmentVariableW(name, value, MAX_PATH);
    return value;
}

TEST(UserAssistNames, DecodeToTheProgramsPath) {
    struct Case {
        const wchar_t* stored;
        std::wstring program;
    };
    const Case cases[] = {
        {L"P:\\Cebtenz Svyrf\\Zvpebfbsg Bssvpr\\ebbg\\Bssvpr16\\JVAJBEQ.RKR",
         L"C:\\Program Files\\Microsoft Office\\root\\Office16\\WINWORD.EXE"},
        {L"HRZR_PGYFRFFVBA", L"UEME_CTLSESSION"},
        {L"Zvpebfbsg.Jvaqbjf.Rkcybere", L"Microsoft.Windows.Explorer"},
        // Behind a known folder's id: the system folder, 32-bit Program Files.
        {L"{1NP14R77-02R7-4R5Q-O744-2RO1NR5198O7}\\zfcnvag.rkr", SystemFolder() + L"\\mspaint.exe"},
        {L"{7P5N40RS-N0SO-4OSP-874N-P0S2R0O9SN8R}\\7-Mvc\\7mSZ.rkr",
         Environment(L"ProgramFiles(x86)") + L"\\7-Zip\\7zFM.exe"},
        // An id Windows does not know stays as it is.
        {L"{00000000-0000-0000-0000-000000000000}\\gbby.rkr",
         L"{00000000-0000-0000-0000-000000000000}\\tool.exe"},
        {L"{1NP14R77}\\n.rkr", L"{1AC14E77}\\a.exe"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(_wcsicmp(UserAssistProgram(c.stored).c_str(), c.program.c_str()), 0)
            << ToUtf8(c.stored) << " -> " << ToUtf8(UserAssistProgram(c.stored));
    }
}

}  // namespace

}  // namespace veltrane
