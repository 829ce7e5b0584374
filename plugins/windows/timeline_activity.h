#pragma once
// What a Timeline activity names, read from the JSON texts of its row in
// ActivitiesCache.db: the program from "AppId" (a list of
// {"application", "platform"} pairs) and, from "Payload", the program's own
// name and what the activity shows (a document's name, a page's title).
// Windows 11 keeps some payloads encrypted: they name nothing.
#include <string>
#include <string_view>

namespace veltrane {

// The program, readable: its path (a known folder's id replaced by the
// folder) or its application id; empty when AppId names none.
std::wstring TimelineProgram(std::string_view appId);

struct TimelinePayload {
    std::wstring programName;  // "appDisplayName"
    std::wstring shown;        // "displayText"
};
TimelinePayload ReadTimelinePayload(std::string_view payload);

}  // namespace veltrane
