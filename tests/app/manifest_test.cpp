// The application manifest inside the installed program: what Windows reads
// before the program starts. Windows ignores an element in the wrong place or
// namespace without a word, so the manifest is read as XML, with the path and
// namespace of every element.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>
#include <xmllite.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/test_files.h"
#include "sysaccess/com_owners.h"

namespace veltrane {

namespace {

constexpr wchar_t kAsmV3[] = L"urn:schemas-microsoft-com:asm.v3";
constexpr wchar_t kCompatibility[] = L"urn:schemas-microsoft-com:compatibility.v1";
constexpr wchar_t kSettings2005[] = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
constexpr wchar_t kSettings2016[] = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";

struct Element {
    std::wstring path;  // the local names from the root, joined by '/'
    std::wstring ns;
    std::map<std::wstring, std::wstring> attributes;
    std::wstring text;
};

// The RT_MANIFEST resource 1 of `program`, as stored.
std::string ManifestResource(const std::wstring& program) {
    std::unique_ptr<std::remove_pointer_t<HMODULE>, decltype(&FreeLibrary)> module(
        LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), &FreeLibrary);
    if (!module) return {};
    HRSRC found = FindResourceW(module.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
    HGLOBAL loaded = found ? LoadResource(module.get(), found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    return bytes ? std::string(static_cast<const char*>(bytes), SizeofResource(module.get(), found))
                 : std::string();
}

template <typename Getter>
std::wstring ReaderText(IXmlReader& reader, Getter get) {
    const wchar_t* text = nullptr;
    UINT length = 0;
    return SUCCEEDED((reader.*get)(&text, &length)) && text ? std::wstring(text, length)
                                                            : std::wstring();
}

// Every element in document order; nothing when the text is not well-formed XML.
std::optional<std::vector<Element>> ReadElements(const std::string& xml) {
    using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
    const auto create = reinterpret_cast<CreateReader>(
        GetProcAddress(LoadLibraryW(L"xmllite.dll"), "CreateXmlReader"));
    ComPtr<IXmlReader> reader;
    if (!create || FAILED(create(__uuidof(IXmlReader), reader.ReceiveVoid(), nullptr)))
        return std::nullopt;
    ComPtr<IStream> stream;
    *stream.Receive() =
        SHCreateMemStream(reinterpret_cast<const BYTE*>(xml.data()), static_cast<UINT>(xml.size()));
    if (!stream || FAILED(reader->SetInput(stream.Get()))) return std::nullopt;

    std::vector<Element> elements;
    std::vector<size_t> open;
    XmlNodeType type;
    HRESULT read;
    while ((read = reader->Read(&type)) == S_OK) {
        if (type == XmlNodeType_Element) {
            Element element;
            const std::wstring name = ReaderText(*reader.Get(), &IXmlReader::GetLocalName);
            element.path = open.empty() ? name : elements[open.back()].path + L"/" + name;
            element.ns = ReaderText(*reader.Get(), &IXmlReader::GetNamespaceUri);
            const bool empty = reader->IsEmptyElement();
            for (HRESULT more = reader->MoveToFirstAttribute(); more == S_OK;
                 more = reader->MoveToNextAttribute())
                element.attributes[ReaderText(*reader.Get(), &IXmlReader::GetLocalName)] =
                    ReaderText(*reader.Get(), &IXmlReader::GetValue);
            elements.push_back(std::move(element));
            if (!empty) open.push_back(elements.size() - 1);
        } else if (type == XmlNodeType_Text && !open.empty()) {
            elements[open.back()].text += ReaderText(*reader.Get(), &IXmlReader::GetValue);
        } else if (type == XmlNodeType_EndElement && !open.empty()) {
            open.pop_back();
        }
    }
    if (read != S_FALSE) return std::nullopt;
    return elements;
}

std::vector<const Element*> FindAll(const std::vector<Element>& elements, const std::wstring& path,
                                    const wchar_t* ns) {
    std::vector<const Element*> found;
    for (const Element& element : elements)
        if (element.path == path && element.ns == ns) found.push_back(&element);
    return found;
}

std::wstring TextOf(const std::vector<Element>& elements, const std::wstring& path,
                    const wchar_t* ns) {
    const auto found = FindAll(elements, path, ns);
    return found.size() == 1 ? found[0]->text : L"(" + std::to_wstring(found.size()) + L" found)";
}

TEST(Manifest, TellsWindowsTheLevelSystemsScalingPathsAndControls) {
    const std::string xml =
        ManifestResource(std::wstring(kInstalledProgramFolder) + L"\\veltrane.exe");
    ASSERT_FALSE(xml.empty()) << "no RT_MANIFEST resource 1";
    const std::optional<std::vector<Element>> read = ReadElements(xml);
    ASSERT_TRUE(read) << "not well-formed XML:\n" << xml;
    const std::vector<Element>& elements = *read;

    // Administrators are asked once and run as themselves; others run as they are.
    const auto level =
        FindAll(elements,
                L"assembly/trustInfo/security/requestedPrivileges/requestedExecutionLevel", kAsmV3);
    ASSERT_EQ(level.size(), 1u);
    EXPECT_EQ(level[0]->attributes.at(L"level"), L"highestAvailable");
    EXPECT_EQ(level[0]->attributes.at(L"uiAccess"), L"false");

    std::set<std::wstring> systems;
    for (const Element* os :
         FindAll(elements, L"assembly/compatibility/application/supportedOS", kCompatibility))
        systems.insert(os->attributes.at(L"Id"));
    EXPECT_EQ(systems, (std::set<std::wstring>{
                           L"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
                           L"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
                           L"{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
                           L"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
                       }));

    const std::wstring settings = L"assembly/application/windowsSettings/";
    EXPECT_EQ(TextOf(elements, settings + L"dpiAwareness", kSettings2016), L"PerMonitorV2");
    // What systems before Windows 10 1607 read instead.
    EXPECT_EQ(TextOf(elements, settings + L"dpiAware", kSettings2005), L"true/pm");
    EXPECT_EQ(TextOf(elements, settings + L"longPathAware", kSettings2016), L"true");

    const auto controls =
        FindAll(elements, L"assembly/dependency/dependentAssembly/assemblyIdentity",
                L"urn:schemas-microsoft-com:asm.v1");
    ASSERT_EQ(controls.size(), 1u);
    EXPECT_EQ(controls[0]->attributes.at(L"name"), L"Microsoft.Windows.Common-Controls");
    EXPECT_EQ(controls[0]->attributes.at(L"version"), L"6.0.0.0");
    EXPECT_EQ(controls[0]->attributes.at(L"publicKeyToken"), L"6595b64144ccf1df");
}

}  // namespace

}  // namespace veltrane
