#include "plugins/browser/leveldb_read.h"

#include <windows.h>

#include <array>
#include <optional>
#include <set>
#include <vector>

#include "plugins/browser/byte_file.h"
#include "plugins/browser/byte_reader.h"
#include "sysaccess/file_walk.h"
#include "sysaccess/reg_format.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

constexpr uint64_t kTableMagic = 0xdb4775248b80fb57ULL;
constexpr size_t kFooterSize = 48;
constexpr size_t kLogBlockSize = 32768;
constexpr size_t kLogHeaderSize = 7;
// No block of a table comes near this once uncompressed (LevelDB writes 4 KiB ones).
constexpr uint32_t kLargestBlock = 64u << 20;

uint32_t Crc32c(std::string_view data) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> entries{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t crc = i;
            for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? 0x82F63B78u : 0);
            entries[i] = crc;
        }
        return entries;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : data) crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

struct Version {
    uint64_t sequence = 0;
    bool live = false;
    LevelDbValue value;
};

// Every write the files hold, reduced to the newest per key.
class KeyVersions {
public:
    void Note(std::string_view key, uint64_t sequence, bool live, std::string_view value) {
        auto [it, inserted] = versions_.try_emplace(std::string(key));
        if (!inserted && it->second.sequence > sequence) return;
        it->second.sequence = sequence;
        it->second.live = live;
        it->second.value.size = value.size();
        it->second.value.text =
            value.size() <= kLevelDbShortValue ? std::string(value) : std::string();
    }
    LevelDbEntries Live() && {
        LevelDbEntries entries;
        for (auto& [key, version] : versions_)
            if (version.live) entries.emplace(key, std::move(version.value));
        return entries;
    }

private:
    std::map<std::string, Version> versions_;
};

// Why a folder could not be read; empty while it could.
using Failure = std::optional<std::wstring>;

Failure Corrupt(const std::wstring& file, const wchar_t* what) { return file + L": " + what; }

// The records of a log file (a MANIFEST is one too), put together from
// their fragments. A record cut short at the very end is what a browser
// that stopped while writing leaves: the records before it count.
template <typename OnRecord>
Failure ReadLogRecords(const std::wstring& name, std::string_view file, OnRecord onRecord) {
    std::string pending;
    bool inRecord = false;
    for (size_t block = 0; block < file.size(); block += kLogBlockSize) {
        const size_t end = std::min(file.size(), block + kLogBlockSize);
        size_t pos = block;
        while (end - pos >= kLogHeaderSize) {
            ByteReader header(file.substr(pos, kLogHeaderSize));
            const uint32_t crc = static_cast<uint32_t>(header.Fixed(4));
            const size_t length = static_cast<size_t>(header.Fixed(2));
            const unsigned char type = header.Byte();
            if (type == 0 && length == 0) break;  // zeroes a writer set aside
            if (pos + kLogHeaderSize + length > end) {
                if (end == file.size()) return std::nullopt;  // cut short at the end
                return Corrupt(name, L"a log record runs past its block");
            }
            const std::string_view typed = file.substr(pos + 6, length + 1);
            if (LevelDbMaskedCrc(typed) != crc)
                return Corrupt(name, L"a log record fails its checksum");
            const std::string_view payload = typed.substr(1);
            pos += kLogHeaderSize + length;
            switch (type) {
                case 1:  // whole
                    if (inRecord) return Corrupt(name, L"a log record is missing its end");
                    if (Failure failure = onRecord(payload)) return failure;
                    break;
                case 2:  // first part
                    if (inRecord) return Corrupt(name, L"a log record is missing its end");
                    pending.assign(payload);
                    inRecord = true;
                    break;
                case 3:  // middle part
                case 4:  // last part
                    if (!inRecord) return Corrupt(name, L"a log record is missing its start");
                    pending.append(payload);
                    if (type == 4) {
                        inRecord = false;
                        if (Failure failure = onRecord(pending)) return failure;
                    }
                    break;
                default:
                    return Corrupt(name, L"a log record has an unknown type");
            }
        }
    }
    return std::nullopt;
}

// A write batch of a log: its sequence number, then puts and deletions.
Failure ReadWriteBatch(const std::wstring& name, std::string_view batch, KeyVersions& versions) {
    ByteReader reader(batch);
    const uint64_t sequence = reader.Fixed(8);
    const uint64_t count = reader.Fixed(4);
    for (uint64_t i = 0; i < count && reader.Ok(); ++i) {
        const unsigned char type = reader.Byte();
        const std::string_view key = reader.Prefixed();
        if (type == 1) {
            const std::string_view value = reader.Prefixed();
            if (reader.Ok()) versions.Note(key, sequence + i, true, value);
        } else if (type == 0) {
            if (reader.Ok()) versions.Note(key, sequence + i, false, {});
        } else {
            return Corrupt(name, L"a write batch holds an unknown kind of write");
        }
    }
    if (!reader.Ok() || !reader.AtEnd()) return Corrupt(name, L"a write batch is damaged");
    return std::nullopt;
}

// What the MANIFEST says of the folder: the tables in use and the oldest log
// not yet folded into them.
struct Manifest {
    std::set<uint64_t> tables;
    uint64_t logNumber = 0;
    uint64_t previousLog = 0;
};

Failure ReadVersionEdit(const std::wstring& name, std::string_view edit, Manifest& manifest) {
    ByteReader reader(edit);
    std::set<std::pair<uint64_t, uint64_t>> added;
    while (reader.Ok() && !reader.AtEnd()) {
        switch (reader.Varint(5)) {
            case 1:  // comparator
                reader.Prefixed();
                break;
            case 2:
                manifest.logNumber = reader.Varint();
                break;
            case 3:  // next file number
            case 4:  // last sequence
                reader.Varint();
                break;
            case 5:  // compaction pointer
                reader.Varint(5);
                reader.Prefixed();
                break;
            case 6:  // a table no longer used
                reader.Varint(5);
                manifest.tables.erase(reader.Varint());
                break;
            case 7: {  // a new table: level, number, size, smallest and largest key
                reader.Varint(5);
                const uint64_t number = reader.Varint();
                reader.Varint();
                reader.Prefixed();
                reader.Prefixed();
                manifest.tables.insert(number);
                break;
            }
            case 9:
                manifest.previousLog = reader.Varint();
                break;
            default:
                return Corrupt(name, L"the MANIFEST holds an unknown entry");
        }
    }
    if (!reader.Ok()) return Corrupt(name, L"the MANIFEST is damaged");
    return std::nullopt;
}

// One block of a table, checked and uncompressed.
Failure ReadBlock(const std::wstring& name, std::string_view file, ByteReader& handle,
                  std::string& block) {
    const uint64_t offset = handle.Varint();
    const uint64_t size = handle.Varint();
    if (!handle.Ok() || offset > file.size() || size + 5 > file.size() - offset)
        return Corrupt(name, L"a block lies outside the table");
    const std::string_view typed = file.substr(static_cast<size_t>(offset), size + 1);
    ByteReader trailer(file.substr(static_cast<size_t>(offset + size + 1), 4));
    if (LevelDbMaskedCrc(typed) != static_cast<uint32_t>(trailer.Fixed(4)))
        return Corrupt(name, L"a block fails its checksum");
    const unsigned char type = static_cast<unsigned char>(typed.back());
    const std::string_view contents = typed.substr(0, static_cast<size_t>(size));
    if (type == 0) {
        block.assign(contents);
    } else if (type != 1 || !SnappyUncompress(contents, block)) {
        return Corrupt(name, type == 1 ? L"a compressed block is damaged"
                                       : L"a block is compressed in a way Veltrane cannot read");
    }
    return std::nullopt;
}

// The entries of a block: keys shared with the one before, then the rest.
template <typename OnEntry>
Failure ForEachBlockEntry(const std::wstring& name, std::string_view block, OnEntry onEntry) {
    if (block.size() < 4) return Corrupt(name, L"a block is too short");
    const uint64_t restarts = ByteReader(block.substr(block.size() - 4)).Fixed(4);
    if (restarts > (block.size() - 4) / 4) return Corrupt(name, L"a block is damaged");
    ByteReader reader(block.substr(0, block.size() - 4 * (restarts + 1)));
    std::string key;
    while (reader.Ok() && !reader.AtEnd()) {
        const uint64_t shared = reader.Varint(5);
        const uint64_t unshared = reader.Varint(5);
        const uint64_t valueLength = reader.Varint(5);
        if (shared > key.size()) return Corrupt(name, L"a block entry is damaged");
        key.resize(static_cast<size_t>(shared));
        key.append(reader.Bytes(unshared));
        const std::string_view value = reader.Bytes(valueLength);
        if (!reader.Ok()) break;
        if (Failure failure = onEntry(std::string_view(key), value)) return failure;
    }
    if (!reader.Ok()) return Corrupt(name, L"a block entry is damaged");
    return std::nullopt;
}

Failure ReadTable(const std::wstring& name, std::string_view file, KeyVersions& versions) {
    if (file.size() < kFooterSize) return Corrupt(name, L"the table is too short");
    ByteReader footer(file.substr(file.size() - kFooterSize));
    footer.Varint();  // the meta index: filters, which add no key
    footer.Varint();
    ByteReader indexHandle(file.substr(file.size() - kFooterSize + footer.Position()));
    if (ByteReader(file.substr(file.size() - 8)).Fixed(8) != kTableMagic || !footer.Ok())
        return Corrupt(name, L"the file is no LevelDB table");
    std::string index;
    if (Failure failure = ReadBlock(name, file, indexHandle, index)) return failure;
    std::string data;
    return ForEachBlockEntry(name, index, [&](std::string_view, std::string_view handle) {
        ByteReader dataHandle(handle);
        if (Failure failure = ReadBlock(name, file, dataHandle, data)) return failure;
        return ForEachBlockEntry(name, data, [&](std::string_view key, std::string_view value) {
            // The key the user wrote, then 8 bytes: sequence number and kind.
            if (key.size() < 8) return Corrupt(name, L"a table key is too short");
            const uint64_t tag = ByteReader(key.substr(key.size() - 8)).Fixed(8);
            const unsigned char kind = static_cast<unsigned char>(tag & 0xFF);
            if (kind > 1) return Corrupt(name, L"a table key has an unknown kind");
            versions.Note(key.substr(0, key.size() - 8), tag >> 8, kind == 1, value);
            return Failure();
        });
    });
}

// A file of the folder: its name, and its number when it is one of
// LevelDB's numbered files ("000005.log", "000004.ldb").
struct NumberedFile {
    std::wstring name;
    uint64_t number = 0;
    std::wstring extension;
};

std::optional<NumberedFile> Numbered(const std::wstring& name) {
    const size_t dot = name.find(L'.');
    if (dot == 0 || dot == std::wstring::npos) return std::nullopt;
    uint64_t number = 0;
    for (size_t i = 0; i < dot; ++i) {
        if (!iswdigit(name[i]) || number > UINT64_MAX / 10) return std::nullopt;
        number = number * 10 + (name[i] - L'0');
    }
    return NumberedFile{name, number, name.substr(dot + 1)};
}

Failure ReadFile(const std::wstring& path, std::string& bytes) {
    const DWORD error = ReadByteFile(path, bytes);
    if (error == ERROR_SUCCESS) return std::nullopt;
    std::wstring message = FormatSystemError(error);
    while (!message.empty() && iswspace(message.back())) message.pop_back();
    return path + L": " + message;
}

Failure ReadFolder(const std::wstring& folder, KeyVersions& versions, bool& found) {
    std::vector<NumberedFile> logs;
    std::map<uint64_t, std::wstring> tables;
    bool hasCurrent = false;
    for (const FolderEntry& entry : ListFolderEntries(folder)) {
        if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (_wcsicmp(entry.name.c_str(), L"CURRENT") == 0) hasCurrent = true;
        std::optional<NumberedFile> file = Numbered(entry.name);
        if (!file) continue;
        if (_wcsicmp(file->extension.c_str(), L"log") == 0) logs.push_back(*file);
        if (_wcsicmp(file->extension.c_str(), L"ldb") == 0 ||
            _wcsicmp(file->extension.c_str(), L"sst") == 0)
            tables[file->number] = entry.name;
    }
    found = hasCurrent || !logs.empty() || !tables.empty();
    if (!found) return std::nullopt;
    if (!hasCurrent) return folder + L" has no CURRENT file";

    std::string current;
    if (Failure failure = ReadFile(folder + L"CURRENT", current)) return failure;
    while (!current.empty() && (current.back() == '\n' || current.back() == '\r'))
        current.pop_back();
    if (current.rfind("MANIFEST-", 0) != 0 || current.find_first_of("/\\:") != std::string::npos)
        return folder + L"CURRENT names no MANIFEST";
    const std::wstring manifestName = FromUtf8(current);
    std::string manifestBytes;
    if (Failure failure = ReadFile(folder + manifestName, manifestBytes)) return failure;
    Manifest manifest;
    if (Failure failure = ReadLogRecords(manifestName, manifestBytes, [&](std::string_view edit) {
            return ReadVersionEdit(manifestName, edit, manifest);
        }))
        return failure;

    std::string bytes;
    for (uint64_t number : manifest.tables) {
        auto table = tables.find(number);
        if (table == tables.end())
            return folder + L": the table " + std::to_wstring(number) + L" is missing";
        if (Failure failure = ReadFile(folder + table->second, bytes)) return failure;
        if (Failure failure = ReadTable(table->second, bytes, versions)) return failure;
    }
    for (const NumberedFile& log : logs) {
        if (log.number < manifest.logNumber && log.number != manifest.previousLog) continue;
        if (Failure failure = ReadFile(folder + log.name, bytes)) return failure;
        if (Failure failure = ReadLogRecords(log.name, bytes, [&](std::string_view batch) {
                return ReadWriteBatch(log.name, batch, versions);
            }))
            return failure;
    }
    return std::nullopt;
}

}  // namespace

uint32_t LevelDbMaskedCrc(std::string_view data) {
    const uint32_t crc = Crc32c(data);
    return ((crc >> 15) | (crc << 17)) + 0xa282ead8u;
}

bool SnappyUncompress(std::string_view compressed, std::string& out) {
    ByteReader reader(compressed);
    const uint64_t length = reader.Varint(5);
    if (!reader.Ok() || length > kLargestBlock) return false;
    out.clear();
    out.reserve(static_cast<size_t>(length));
    while (reader.Ok() && !reader.AtEnd()) {
        const unsigned char tag = reader.Byte();
        uint64_t size = 0;
        uint64_t offset = 0;
        switch (tag & 3) {
            case 0: {  // literal
                size = tag >> 2;
                if (size >= 60) size = reader.Fixed(size - 59);
                const std::string_view literal = reader.Bytes(size + 1);
                if (!reader.Ok() || out.size() + literal.size() > length) return false;
                out.append(literal);
                continue;
            }
            case 1:
                size = ((tag >> 2) & 7) + 4;
                offset = (static_cast<uint64_t>(tag >> 5) << 8) | reader.Byte();
                break;
            case 2:
                size = (tag >> 2) + 1;
                offset = reader.Fixed(2);
                break;
            default:
                size = (tag >> 2) + 1;
                offset = reader.Fixed(4);
                break;
        }
        if (!reader.Ok() || offset == 0 || offset > out.size() || out.size() + size > length)
            return false;
        // Copies may overlap what they write: byte by byte.
        for (size_t from = out.size() - static_cast<size_t>(offset), i = 0; i < size; ++i)
            out.push_back(out[from + i]);
    }
    return reader.Ok() && out.size() == length;
}

LevelDbRead ReadLevelDb(const std::wstring& folder) {
    const std::wstring withSlash =
        !folder.empty() && folder.back() != L'\\' ? folder + L"\\" : folder;
    KeyVersions versions;
    bool found = false;
    LevelDbRead read;
    if (Failure failure = ReadFolder(withSlash, versions, found)) {
        read.state = LevelDbState::kUnreadable;
        read.reason = *failure;
        return read;
    }
    if (!found) return read;
    read.state = LevelDbState::kRead;
    read.entries = std::move(versions).Live();
    return read;
}

}  // namespace veltrane
