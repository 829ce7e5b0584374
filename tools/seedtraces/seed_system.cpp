// Traces for the Recycle Bin, messenger history, recent documents and
// clipboard plug-ins, with neighbours that must survive a clean.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "seedtraces/seed_util.h"
#include "seedtraces/seeders.h"
#include "sysaccess/reg_security.h"

namespace veltrane {

namespace {

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE)) return {};
    return path;
}

std::string Filler(const char* text, int scale) {
    std::string content;
    for (int i = 0; i < 20 * scale; ++i) content += text;
    return content;
}

constexpr char kBinDesktopIni[] =
    "[.ShellClassInfo]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}\r\n";

// A bin folder as Windows makes one: system and hidden.
bool SeedBinFolder(const std::wstring& path) {
    return SeedFolder(path) &&
           SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
}

// Bins of C: as Windows 98, XP and Vista onwards keep them, a user's folders
// that only bear a bin's name, and a few files sent to the shell's own bin.
bool SeedRecycleBin(int scale) {
    bool ok = true;
    std::wstring sid = GetCurrentUserSidString();
    if (sid.empty()) sid = L"S-1-5-21-1000";
    std::wstring bin = L"C:\\RECYCLER\\" + sid;
    ok &= SeedBinFolder(L"C:\\RECYCLER") && SeedBinFolder(bin);
    ok &= SeedFile(bin + L"\\INFO2", std::string(20, '\0'));
    ok &= SeedFile(bin + L"\\desktop.ini", kBinDesktopIni);
    for (int i = 1; i <= 3 * scale; ++i)
        ok &=
            SeedFile(bin + L"\\Dc" + std::to_wstring(i) + L".txt", Filler("deleted letter\r\n", 1));
    ok &= SeedFile(bin + L"\\Dc100\\notes\\draft.doc", Filler("deleted folder content\r\n", scale));
    ok &= SeedBinFolder(L"C:\\Recycled");
    ok &= SeedFile(L"C:\\Recycled\\INFO2", std::string(20, '\0'));
    ok &= SeedFile(L"C:\\Recycled\\desktop.ini", kBinDesktopIni);
    ok &= SeedFile(L"C:\\Recycled\\DC1.TXT", Filler("old bin\r\n", scale));
    const std::wstring vista = L"C:\\$Recycle.Bin\\" + sid;
    ok &= SeedBinFolder(L"C:\\$Recycle.Bin") && SeedBinFolder(vista);
    ok &= SeedFile(vista + L"\\desktop.ini", kBinDesktopIni);
    ok &= SeedFile(vista + L"\\$R0A1B2C.txt", Filler("deleted report\r\n", scale));
    ok &= SeedFile(vista + L"\\$I0A1B2C.txt", std::string(544, '\0'));
    ok &= SeedFile(vista + L"\\$R3D4E5F\\chapter 1.doc", Filler("deleted chapter\r\n", scale));
    ok &= SeedFile(vista + L"\\$I3D4E5F", std::string(544, '\0'));
    // Only the items of the bins go: the bins themselves and their own files stay.
    for (const std::wstring& item :
         {bin + L"\\Dc100", std::wstring(L"C:\\Recycled\\DC1.TXT"), vista + L"\\$R0A1B2C.txt",
          vista + L"\\$I0A1B2C.txt", vista + L"\\$R3D4E5F", vista + L"\\$I3D4E5F"})
        NoteTraceFile(item);
    for (int i = 1; i <= 3 * scale; ++i)
        NoteTraceFile(bin + L"\\Dc" + std::to_wstring(i) + L".txt");
    // A user's folders with a bin's name: neither is a bin.
    ok &= SeedFile(L"C:\\VeltraneControl\\Recycled\\keep.txt", "not a bin\r\n");

    std::wstring documents = SpecialFolder(CSIDL_PERSONAL);
    std::wstring trashed;
    for (int i = 1; i <= 2 * scale; ++i) {
        std::wstring path = documents + L"\\thrown away " + std::to_wstring(i) + L".txt";
        ok &= SeedFile(path, Filler("thrown away\r\n", scale));
        trashed += path + L'\0';
    }
    trashed += L'\0';
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = trashed.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    ok &= SHFileOperationW(&operation) == 0;
    return ok;
}

bool SeedMessengers(int scale) {
    bool ok = true;
    std::wstring appData = SpecialFolder(CSIDL_APPDATA);
    SeedString(HKEY_CURRENT_USER,
               L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", L"AppData",
               appData);
    std::wstring icqLite = appData + L"\\ICQLite\\HistoryDB";
    for (int i = 1; i <= scale; ++i) {
        std::wstring contact = icqLite + L"\\123456" + std::to_wstring(i) + L"\\77889900";
        ok &= SeedFile(contact + L"\\History.dat", Filler("ICQ Lite history\r\n", scale));
        ok &= SeedFile(contact + L"\\History.idx", "idx");
        NoteTraceFolderContent(contact);
    }
    ok &= SeedFile(icqLite + L"\\HistoryDB.cfg", "control: directly in HistoryDB");
    ok &= SeedFile(icqLite + L"\\1234561\\account.cfg", "control: one level below");

    std::wstring icqPro = L"C:\\Program Files\\ICQ";
    ok &= SeedString(HKEY_LOCAL_MACHINE, L"Software\\Mirabilis\\ICQ\\ICQPro\\DefaultPrefs",
                     L"ICQPath", icqPro);
    for (const wchar_t* uin : {L"\\2003b\\11111111", L"\\2003b\\22222222"}) {
        ok &= SeedFile(icqPro + uin + L"\\Messages.dat", Filler("ICQ Pro messages\r\n", scale));
        ok &= SeedFile(icqPro + uin + L"\\messages.idx", "idx");
        NoteTraceFile(icqPro + uin + L"\\Messages.dat");
        NoteTraceFile(icqPro + uin + L"\\messages.idx");
        ok &= SeedFile(icqPro + uin + L"\\contacts.dat", "control: not a message file");
    }

    std::wstring msnLog =
        SpecialFolder(CSIDL_PERSONAL) + L"\\My Received Files\\alice1234\\History";
    ok &= SeedString(HKEY_CURRENT_USER,
                     L"Software\\Microsoft\\MSNMessenger\\PerPassportSettings\\1234567890",
                     L"MessageLogPath", msnLog);
    ok &= SeedKey(HKEY_CURRENT_USER,
                  L"Software\\Microsoft\\MSNMessenger\\PerPassportSettings\\0987654321");
    for (int i = 1; i <= scale; ++i) {
        std::wstring log = msnLog + L"\\bob" + std::to_wstring(i) + L"@example.com.xml";
        ok &= SeedFile(log, Filler("<Message>hello</Message>\r\n", scale));
        NoteTraceFile(log);
    }
    ok &= SeedFile(msnLog + L"\\MessageLog.xsl", "<xsl:stylesheet/>");
    NoteTraceFile(msnLog + L"\\MessageLog.xsl");  // "*.x?l" takes it too
    ok &= SeedFile(msnLog + L"\\notes.txt", "control: not a log");
    ok &= SeedFile(msnLog + L"\\Archive\\old.xml", "control: in a sub-folder");
    return ok;
}

struct OfficeValue {
    const wchar_t* key;  // below Software\Microsoft\Office
    const wchar_t* name;
    const wchar_t* data;
};

// Values of several Office versions; the "control" ones must survive a clean.
const OfficeValue kOfficeValues[] = {
    {L"11.0\\Access\\Settings", L"MRU1", L"C:\\Data\\Orders.mdb"},
    {L"11.0\\Access\\Settings", L"MRU2", L"C:\\Data\\Staff.mdb"},
    {L"11.0\\Access\\Settings", L"MRU11", L"control: index 11"},
    {L"11.0\\Access\\Settings", L"Default Path", L"control"},
    {L"9.0\\Excel\\Recent Files", L"File1", L"C:\\Data\\Book1.xls"},
    {L"11.0\\Excel\\Recent Files", L"File1", L"C:\\Data\\Budget.xls"},
    {L"11.0\\Excel\\Recent Files", L"File2", L"Q3.xls"},
    {L"11.0\\InfoPath\\Recent File List", L"File 1", L"C:/Forms/Expense.xsn"},
    {L"11.0\\InfoPath\\Recent File List", L"File1", L"control: no space"},
    {L"10.0\\PowerPoint\\Recent File List", L"File1", L"C:\\Talks\\Launch.ppt"},
    {L"11.0\\Visio\\Application", L"LastFile1", L"C:\\Plans\\Floor.vsd"},
};

bool SeedOfficeValues() {
    bool ok = true;
    for (const OfficeValue& value : kOfficeValues) {
        std::wstring key = std::wstring(L"Software\\Microsoft\\Office\\") + value.key;
        ok &= SeedString(HKEY_CURRENT_USER, key, value.name, value.data);
        if (wcsncmp(value.data, L"control", 7) != 0)
            NoteTraceValue(HKEY_CURRENT_USER, key, value.name);
    }
    std::wstring recent = SpecialFolder(CSIDL_APPDATA) + L"\\Microsoft\\Office\\Recent";
    NoteTraceFolderContent(recent);
    ok &= SeedFile(recent + L"\\Budget.xls.LNK", "shortcut");
    ok &= SeedFile(recent + L"\\index.dat", "index");
    return ok;
}

bool SaveShortcut(const std::wstring& shortcut, const std::wstring& target) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    bool ok = SUCCEEDED(link->SetPath(target.c_str())) &&
              SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
              SUCCEEDED(file->Save(shortcut.c_str(), TRUE));
    if (file) file->Release();
    link->Release();
    return ok;
}

bool SeedRecentShortcuts(int scale) {
    bool ok = true;
    std::wstring documents = SpecialFolder(CSIDL_PERSONAL);
    std::wstring recent = SpecialFolder(CSIDL_RECENT);
    NoteTraceFolderContent(recent);
    for (int i = 1; i <= scale; ++i) {
        std::wstring name = L"report " + std::to_wstring(i) + L".txt";
        ok &= SeedFile(documents + L"\\" + name, "quarterly report");
        ok &= SaveShortcut(recent + L"\\" + name + L".lnk", documents + L"\\" + name);
    }
    ok &= SeedFile(documents + L"\\holiday.bmp", "BM");
    ok &= SaveShortcut(recent + L"\\holiday.bmp.lnk", documents + L"\\holiday.bmp");
    // A document deleted since: its shortcut is still a trace.
    ok &= SaveShortcut(recent + L"\\gone.doc.lnk", documents + L"\\gone.doc");
    return ok;
}

// Unicode text and a named format. The clipboard lives as long as the
// sandbox session that seeded it.
bool SeedClipboard() {
    if (!OpenClipboard(nullptr)) return false;
    bool ok = EmptyClipboard() != FALSE;
    auto put = [&ok](UINT format, const void* data, size_t size) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
        if (!memory) {
            ok = false;
            return;
        }
        memcpy(GlobalLock(memory), data, size);
        GlobalUnlock(memory);
        if (!SetClipboardData(format, memory)) {
            GlobalFree(memory);
            ok = false;
        }
    };
    const wchar_t text[] = L"account number 0123-4567";
    put(CF_UNICODETEXT, text, sizeof(text));
    const char html[] = "Version:0.9\r\n<html><body>secret</body></html>";
    put(RegisterClipboardFormatW(L"HTML Format"), html, sizeof(html));
    CloseClipboard();
    return ok;
}

}  // namespace

bool SeedSystem(int scale) {
    HRESULT com = CoInitialize(nullptr);
    bool ok = SeedRecycleBin(scale);
    ok &= SeedMessengers(scale);
    ok &= SeedOfficeValues();
    ok &= SeedRecentShortcuts(scale);
    ok &= SeedClipboard();
    if (SUCCEEDED(com)) CoUninitialize();
    return ok;
}

}  // namespace veltrane
