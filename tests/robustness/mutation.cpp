#include "robustness/mutation.h"

#include "support/test_registry.h"
#include "sysaccess/handles.h"

namespace veltrane {

namespace {

// Texts that look like the placeholders reports are filled from.
const char* const kPlaceholders[] = {"#size#",    "#total#", "#name#", "#num#", "#result#",
                                     "#volumes#", "#id#",    "#",      "##",    "&#35;"};

// Broken UTF-8: stray continuation bytes, cut sequences, overlong forms,
// surrogates and bytes that never occur.
const char* const kBadUtf8[] = {"\x80",     "\xC3",         "\xE2\x82", "\xF0\x9F\x98",
                                "\xC0\xAF", "\xED\xA0\x80", "\xFE\xFF", "\xFF"};

// Broken UTF-16 (as bytes): lone surrogates, a byte-order mark, an odd byte.
const char* const kBadUtf16[] = {"\x00\xD8", "\x00\xDC", "\xFF\xFE", "\x41"};
const size_t kBadUtf16Size[] = {2, 2, 2, 1};

// Lines around the buffer sizes readers use, and one of a mebibyte.
const size_t kLongLines[] = {511, 512, 513, 1023, 1024, 4095, 4096, 4097, 65536};

}  // namespace

uint64_t Mutator::Next() {
    // splitmix64: good enough spread from consecutive seeds.
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

size_t Mutator::Below(size_t bound) { return bound == 0 ? 0 : Next() % bound; }

std::string Mutator::Noise(size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(Next() & 0xFF);
    return bytes;
}

void Mutator::Edit(std::string& text) {
    const size_t at = Below(text.size() + 1);
    switch (Below(11)) {
        case 0:  // cut short
            text.resize(at);
            break;
        case 1:  // binary bytes in the middle
            text.insert(at, Noise(1 + Below(64)));
            break;
        case 2:  // NUL bytes
            text.insert(at, std::string(1 + Below(4), '\0'));
            break;
        case 3:  // no final line break
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            break;
        case 4: {  // one long line; a mebibyte now and then
            size_t length = OneIn(40) ? (1u << 20) : Pick(kLongLines);
            text.insert(at, std::string(length, static_cast<char>('a' + Below(26))) + "\n");
            break;
        }
        case 5:
            text.insert(at, Pick(kBadUtf8));
            break;
        case 6: {
            size_t which = Below(std::size(kBadUtf16));
            text.insert(at, std::string(kBadUtf16[which], kBadUtf16Size[which]));
            break;
        }
        case 7:
            text.insert(at, Pick(kPlaceholders));
            break;
        case 8: {  // other line ends: CR alone, CR LF, a lone LF
            const char* const ends[] = {"\r", "\r\n", "\n", "\n\n"};
            size_t line = text.find('\n', at);
            if (line == std::string::npos) {
                text += Pick(ends);
            } else {
                text.replace(line, 1, Pick(ends));
            }
            break;
        }
        case 9: {  // a line repeated
            size_t start = text.rfind('\n', at == 0 ? 0 : at - 1);
            start = start == std::string::npos ? 0 : start + 1;
            size_t end = text.find('\n', at);
            end = end == std::string::npos ? text.size() : end + 1;
            text.insert(start, text.substr(start, end - start));
            break;
        }
        default:  // one byte changed
            if (!text.empty()) text[Below(text.size())] = static_cast<char>(Next() & 0xFF);
            break;
    }
}

std::string Mutator::Mutate(const std::string& sample) {
    std::string text = sample;
    for (size_t edits = 1 + Below(3); edits > 0; --edits) Edit(text);
    return text;
}

Mutator::RegistryData Mutator::RegistryValue(const std::wstring& sample) {
    RegistryData data;
    const DWORD types[] = {REG_SZ,    REG_SZ,    REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY,
                           REG_DWORD, REG_QWORD, REG_NONE,      REG_LINK,     0x12345678};
    data.type = Pick(types);
    std::string text(reinterpret_cast<const char*>(sample.c_str()),
                     (sample.size() + 1) * sizeof(wchar_t));
    switch (Below(6)) {
        case 0:  // the sample as it is, of another type perhaps
            break;
        case 1:  // no terminator, possibly an odd size
            text.resize(sample.size() * sizeof(wchar_t) - (sample.empty() ? 0 : Below(2)));
            break;
        case 2:  // sizes around the buffers readers use
        {
            const size_t sizes[] = {0,   1,    2,    3,    510,  511,  512,  513,
                                    514, 1022, 1023, 1024, 1025, 1026, 2048, 8192};
            size_t size = Pick(sizes);
            text = std::string(size, '\0');
            for (size_t i = 0; i + 1 < size; i += 2) text[i] = static_cast<char>('a' + Below(26));
            break;
        }
        case 3:  // big
            text = Noise(OneIn(8) ? (1u << 20) : 65536 + Below(3));
            break;
        case 4:  // several strings, as a multi-string holds them
            text = text + text + std::string(2, '\0');
            break;
        default:
            text = Mutate(text);
            break;
    }
    data.bytes.assign(text.begin(), text.end());
    return data;
}

void SetRegistryData(HKEY root, const std::wstring& key, const std::wstring& name,
                     const Mutator::RegistryData& data) {
    RegKey created;
    RegCreateKeyW(root, key.c_str(), created.Receive());
    RegSetValueExW(created.Get(), name.c_str(), 0, data.type, data.bytes.data(),
                   static_cast<DWORD>(data.bytes.size()));
}

}  // namespace veltrane
