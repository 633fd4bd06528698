// The host's own values: the profile (host-profile.json, shipped in the kit
// as share/kavlink/host-profile.json).  kavhost reads the file found beside
// it (share\kavlink\host-profile.json under the folder of kavhost.exe or
// under its parent folder) and overlays the files given with --profile, each
// naming only the keys it changes.  The model reads the values once, here,
// into typed fields; nothing asks the JSON per request.
//
// Every value is {"value": ..., "status": "assumption" | "confirmed",
// "by": "<field session>"}; an overlay may give a plain value instead.
#pragma once
#include "kavlink_records.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kavhost::model {

inline constexpr int kProfileVersion = 1;

struct ProfileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What the create and append exports answer, and VokCreateCSB.
enum class CreateAnswer : uint8_t { Index, Success, Handle };
// What a box's text reads back after a box event.
enum class BoxText : uint8_t { Value, Kept };

// The values the model answers with, read from the profile.
struct ProfileValues {
    int32_t success = 1, none = 0, confirm = 1, commandId = 1;
    int32_t elementTypes[9] = {};  // by Kind
    int32_t firstIndex = 1, firstLink = 1, firstMark = 1, firstGroup = 1, layer = 0;
    CreateAnswer createAnswers = CreateAnswer::Index;
    ElementAttr elementAttr{};
    StringAttr stringAttr{};
    int16_t exValue1 = 0, exValue2 = 0;
    int32_t initialMask = 0;
    int32_t selectCSB = 0;
    CreateAnswer panelCreateAnswers = CreateAnswer::Success;
    uint32_t firstHandle = 0;
    BoxText boxText = BoxText::Value;
    uint32_t buttonStateOffset = 0;
    double epsLength = 0, epsAngle = 0;
    int32_t dispDigit = 0, currentDB = 1;
};

class Profile {
public:
    // The default profile: the file at `path`; throws ProfileError (unreadable,
    // not JSON, unknown version, a value missing or of the wrong type).
    static Profile fromFile(const std::string& path);
    static Profile fromText(const std::string& text, const std::string& name);
    // Overlays the keys that the file names.
    void overlayFile(const std::string& path);
    void overlayText(const std::string& text, const std::string& name);

    int version() const { return version_; }
    // The files read, the default first, joined by " + ".
    const std::string& name() const { return name_; }
    const ProfileValues& values() const { return values_; }
    const nlohmann::json& json() const { return json_; }

    // A value by its path ("elementTypes/line"); null when there is none.
    const nlohmann::json* find(const std::string& path) const;
    // "assumption" or "confirmed by <session>" for the value at the path.
    std::string status(const std::string& path) const;

private:
    void read();  // json_ into values_; throws ProfileError
    nlohmann::json json_;
    std::string name_;
    int version_ = 0;
    ProfileValues values_;
};

struct CalcConventions;
// The calculations' conventions from the profile's "calculations" section,
// one key per field of CalcConventions (kConventionFields names them and
// their choices); success and "none" come from "answers".
CalcConventions conventionsOf(const Profile& profile);

// Where kavhost finds the default profile: share\kavlink\host-profile.json
// under the folder of kavhost.exe or its parent; "" when neither exists.
std::string defaultProfilePath();

}  // namespace kavhost::model
