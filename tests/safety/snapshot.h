#pragma once
// A picture of the whole sandbox machine: every file of drive C: (path,
// size, content hash, attributes, write time), every folder (attributes),
// every link (seen, not entered), and every registry key and value of
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE (type, size, data hash; a link key
// with its target, not entered). Two pictures, one before and one after a
// run, show what the run removed or changed.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace veltrane {

// Item name (as TraceItemName spells it) -> fingerprint of its content.
using Snapshot = std::map<std::wstring, std::wstring>;

Snapshot TakeSnapshot();
// Takes `path` (a file, or a folder with all below it) or the registry key
// `root\key` again into `snapshot`, as it is now: for what a test changed on
// purpose after the first picture.
void Retake(Snapshot& snapshot, const std::wstring& path);
void RetakeKey(Snapshot& snapshot, HKEY root, const std::wstring& key);

struct Damage {
    std::wstring name;
    std::wstring what;  // "removed" or "changed" (or what else a test found)
};
// What `before` holds that `after` lacks or holds differently; items that
// `after` adds are not damage.
std::vector<Damage> CompareSnapshots(const Snapshot& before, const Snapshot& after);

// True when `name` is `place` or lies below it (a file in a folder, a value
// or sub-key in a key).
bool IsAtOrBelow(const std::wstring& name, const std::wstring& place);

}  // namespace veltrane
