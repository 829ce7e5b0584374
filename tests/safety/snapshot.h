#pragma once
// A picture of the whole sandbox machine: every file of drive C: (path,
// size, content hash), every folder, and every registry key and value of
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE (type, size, data hash). Two
// pictures, one before and one after a run, show what the run removed or changed.
#include <map>
#include <string>
#include <vector>

// Item name (as TraceItemName spells it) -> fingerprint of its content.
using Snapshot = std::map<std::wstring, std::wstring>;

Snapshot TakeSnapshot();

struct Damage {
    std::wstring name;
    std::wstring what;  // "removed" or "changed"
};
// What `before` holds that `after` lacks or holds differently; items that
// `after` adds are not damage.
std::vector<Damage> CompareSnapshots(const Snapshot& before, const Snapshot& after);

// True when `name` is `place` or lies below it (a file in a folder, a value
// or sub-key in a key).
bool IsAtOrBelow(const std::wstring& name, const std::wstring& place);
