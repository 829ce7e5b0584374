#include "plugins/windows/timeline_activity.h"

#include <nlohmann/json.hpp>

#include "sysaccess/known_folder_path.h"
#include "sysaccess/text.h"

namespace veltrane {

namespace {

// The platforms whose "application" names a program, the most readable first.
constexpr std::string_view kPlatforms[] = {"x_exe_path", "windows_win32", "windows_universal",
                                           "packageId"};

std::string StringField(const nlohmann::json& object, const char* name) {
    auto field = object.find(name);
    return field != object.end() && field->is_string() ? field->get<std::string>() : std::string();
}

}  // namespace

std::wstring TimelineProgram(std::string_view appId) {
    const nlohmann::json list = nlohmann::json::parse(appId, nullptr, false);
    if (!list.is_array()) return {};
    std::string best;
    size_t bestRank = std::size(kPlatforms) + 1;
    for (const nlohmann::json& entry : list) {
        if (!entry.is_object()) continue;
        const std::string application = StringField(entry, "application");
        if (application.empty()) continue;
        const std::string platform = StringField(entry, "platform");
        size_t rank = std::size(kPlatforms);
        for (size_t i = 0; i < std::size(kPlatforms); ++i)
            if (platform == kPlatforms[i]) rank = i;
        if (rank < bestRank) {
            best = application;
            bestRank = rank;
        }
    }
    return ExpandKnownFolderPrefix(FromUtf8(best));
}

TimelinePayload ReadTimelinePayload(std::string_view payload) {
    const nlohmann::json object = nlohmann::json::parse(payload, nullptr, false);
    if (!object.is_object()) return {};
    return {FromUtf8(StringField(object, "appDisplayName")),
            FromUtf8(StringField(object, "displayText"))};
}

}  // namespace veltrane
