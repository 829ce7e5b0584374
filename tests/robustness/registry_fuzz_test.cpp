// Readers of registry values that expect text, fed data of every type and
// size: the options store, the Office document lists and the messenger
// history folders. No crash, no hang, and the text read is the stored text.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "plugins/system/message_history.h"
#include "plugins/system/office_recent.h"
#include "robustness/mutation.h"
#include "support/test_files.h"
#include "support/test_registry.h"
#include "sysaccess/settings_store.h"
#include "sysaccess/text.h"
#include "system/plugin_run.h"

namespace veltrane {

namespace {

// The text a reader that takes any data as UTF-16 finds: the units stored
// (an odd last byte padded with zero when `padOddByte`), up to the first NUL.
std::wstring StoredText(const std::vector<BYTE>& bytes, bool padOddByte) {
    std::wstring text((bytes.size() + (padOddByte ? 1 : 0)) / sizeof(wchar_t), L'\0');
    memcpy(text.data(), bytes.data(), std::min(bytes.size(), text.size() * sizeof(wchar_t)));
    return text.substr(0, wcsnlen(text.c_str(), text.size()));
}

const std::wstring kOptionSamples[] = {L"1", L"0", L"", L"https://veltrane.example/#size#"};

TEST(SettingsFuzz, OptionsAndPropertiesReadOnlyWhatIsStored) {
    ScopedTestKey key(L"SettingsFuzz", HKEY_LOCAL_MACHINE);
    const std::wstring options = key.Sub(L"Options");
    for (uint64_t seed = 0; seed < 1500 && !HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Mutator mutator(seed);
        const Mutator::RegistryData data = mutator.RegistryValue(mutator.Pick(kOptionSamples));
        DeleteTree(key.Root(), options);
        SetRegistryData(key.Root(), options, L"HideOnExit", data);
        SetString(key.Root(), options, L"Later", L"z");

        // The map takes string values of any length; a value of another type
        // is noted by name and hides nothing after it.
        CSettings settings(key.Root(), options);
        ASSERT_TRUE(settings.Load().Done());
        EXPECT_EQ(settings.TryOption(L"Later"), L"z");
        if (data.type == REG_SZ) {
            EXPECT_TRUE(settings.TryOption(L"HideOnExit") == StoredText(data.bytes, true));
        } else {
            EXPECT_EQ(settings.TryOption(L"HideOnExit"), std::nullopt);
            EXPECT_EQ(settings.Unreadable(L"").at(L"HideOnExit").type, data.type);
        }

        // A string property takes the data of any type as text.
        CRPSTRING text(key.Root(), options, L"HideOnExit", L"default");
        text.SetNoWriteBack(true);
        EXPECT_EQ(text.FailedStep(), CRegistryProperty::kNone);
        EXPECT_TRUE(text.Get() == StoredText(data.bytes, true));
        EXPECT_EQ(text.GetType(), data.type);

        CRPDWORD number(key.Root(), options, L"HideOnExit", 7);
        number.SetNoWriteBack(true);
        if (data.bytes.size() > sizeof(DWORD)) {
            EXPECT_EQ(number.FailedStep(), CRegistryProperty::kQuery);
            EXPECT_EQ(number.Get(), 7u);
        }
    }
}

constexpr wchar_t kOffice[] = L"Software\\Microsoft\\Office";
constexpr wchar_t kExcel[] = L"Software\\Microsoft\\Office\\9.0\\Excel\\Recent Files";
constexpr wchar_t kInfoPath[] = L"Software\\Microsoft\\Office\\11.0\\InfoPath\\Recent File List";

const std::wstring kDocumentSamples[] = {L"C:\\Data\\Book1.xls", L"D:/Forms/Expense.xsn",
                                         L"Q3 #total# <b>.xls", L"\\\\server\\share\\x.doc"};

TEST(OfficeFuzz, DocumentListsReadAnyDataAndCleanIt) {
    DeleteTree(HKEY_CURRENT_USER, kOffice);
    PluginRun<CPlgMSOfficeRecUsed> run(L"MSOfficeRecUsed");
    for (uint64_t seed = 0; seed < 120 && !HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Mutator mutator(seed);
        // Listed in scan order: Excel before InfoPath, by index.
        std::vector<std::wstring> expected;
        std::vector<std::string> stored;
        for (const wchar_t* source : {kExcel, kInfoPath}) {
            for (int index = 0; index <= 10; ++index) {
                if (!mutator.OneIn(3)) continue;
                Mutator::RegistryData data = mutator.RegistryValue(mutator.Pick(kDocumentSamples));
                // Wine refuses a string of 1023 or 1024 bytes to a 1024-byte
                // buffer (it wants room for a terminator); Windows does not.
                const bool isString =
                    data.type == REG_SZ || data.type == REG_EXPAND_SZ || data.type == REG_MULTI_SZ;
                if (isString && data.bytes.size() > 1022 && data.bytes.size() <= 1024)
                    data.bytes.resize(1022);
                const wchar_t* format = source == kExcel ? L"File%d" : L"File %d";
                wchar_t name[16];
                swprintf(name, 16, format, index);
                SetRegistryData(HKEY_CURRENT_USER, source, name, data);
                // 1024 bytes are read; a longer value is not listed.
                if (data.bytes.size() <= 1024) {
                    expected.push_back(StoredText(data.bytes, true));
                    stored.push_back("type " + std::to_string(data.type) + ", " +
                                     std::to_string(data.bytes.size()) + " bytes");
                }
            }
        }
        ASSERT_EQ(run.Scan(), L"Finished");
        std::vector<std::wstring> listed;
        for (const RecentDocument& record : run.plugin->GetRegistryList())
            listed.push_back(record.path);
        EXPECT_EQ(listed.size(), expected.size());
        for (size_t i = 0; i < listed.size() && i < expected.size(); ++i)
            EXPECT_TRUE(listed[i] == expected[i])
                << i << ": " << listed[i].size() << " units read, " << expected[i].size()
                << " stored (" << stored[i] << ")";
        const std::wstring report = run.ScanReport();
        for (const std::wstring& path : listed)
            EXPECT_NE(report.find(EscapeHtml(path)), std::wstring::npos);

        ASSERT_EQ(run.Clean(), L"Finished");
        for (const RecentDocument& record : run.plugin->GetRegistryList())
            EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, record.keyPath, record.valueName));
        DeleteTree(HKEY_CURRENT_USER, kOffice);
    }
}

constexpr wchar_t kIcqPrefs[] = L"Software\\Mirabilis\\ICQ\\ICQPro\\DefaultPrefs";
constexpr wchar_t kMsnAccounts[] = L"Software\\Microsoft\\MSNMessenger\\PerPassportSettings";

// Only a scan: the history folders named by mutated data must yield files
// inside them and nothing else.
TEST(MessengerFuzz, HistoryFoldersFromAnyDataListOnlyTheirOwnFiles) {
    ScopedTestFolder folder(L"MessengerFuzz");
    WriteTestFile(folder.Sub(L"Logs\\alice.xml"), "<Log/>");
    WriteTestFile(folder.Sub(L"Logs\\notes.txt"), "not a log");
    WriteTestFile(folder.Sub(L"ICQ\\2003b\\123456\\messages.dat"), "history");
    const std::wstring logSamples[] = {folder.Sub(L"Logs"), folder.Sub(L"Logs\\"),
                                       folder.Sub(L"Logs\\..\\Logs"), L"", L"C:"};
    const std::wstring icqSamples[] = {folder.Sub(L"ICQ"), L"", L"#size#"};
    PluginRun<CPlgMessageHistory> run(L"MessageHistory");
    for (uint64_t seed = 0; seed < 150 && !HasFailure(); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Mutator mutator(seed);
        DeleteTree(HKEY_CURRENT_USER, kMsnAccounts);
        const Mutator::RegistryData log = mutator.RegistryValue(mutator.Pick(logSamples));
        SetRegistryData(HKEY_CURRENT_USER, std::wstring(kMsnAccounts) + L"\\12345",
                        L"MessageLogPath", log);
        const Mutator::RegistryData icq = mutator.RegistryValue(mutator.Pick(icqSamples));
        SetRegistryData(HKEY_LOCAL_MACHINE, kIcqPrefs, L"ICQPath", icq);

        ASSERT_EQ(run.Scan(), L"Finished");
        const std::wstring logText = StoredText(log.bytes, true);
        for (const auto& record : run.plugin->GetFiles(CPlgMessageHistory::kMsn)) {
            EXPECT_TRUE(StartsWith(record.path, logText)) << ToUtf8(record.path);
            // A protected folder is one row that says so, with no file in it.
            if (record.refusal.empty()) {
                EXPECT_TRUE(EndsWith(record.path, L".xml"));
            }
        }
        const std::wstring icqFolder = StoredText(icq.bytes, true) + L"\\2003b\\";
        for (const auto& record : run.plugin->GetFiles(CPlgMessageHistory::kIcqPro))
            EXPECT_TRUE(StartsWith(record.path, icqFolder)) << ToUtf8(record.path);
        run.ScanReport();
    }
    DeleteTree(HKEY_CURRENT_USER, kMsnAccounts);
    DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Mirabilis");
}

}  // namespace

}  // namespace veltrane
