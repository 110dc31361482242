#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace korvane {

inline constexpr std::size_t kSettingsSize = 26686;

struct Int32Field {
    std::size_t offset;
};
struct Int64Field {
    std::size_t offset;
};
// A zero-terminated single-byte text inside a field of `width` bytes: at most width - 1 characters.
struct TextField {
    std::size_t offset;
    std::size_t width;
    constexpr std::size_t MaxChars() const { return width - 1; }
};

// Flags of the block use 0 for "on" and 2 for "off", so that an all-zero file means "on".
inline constexpr std::int32_t kFlagOn = 0;
inline constexpr std::int32_t kFlagOff = 2;

// Dialogs whose server and second field are remembered in the two rows of ten text slots.
enum class DialogSlot : std::size_t {
    ServerPageHeader = 0,
    CheckPage = 1,
    CheckSite = 2,
    VerifyFolder = 3,
    VerifyFile = 4,
    Links = 5,
    Referrer = 6,
    MarkupValidation = 7,
    SubmitUrl = 9,
};

inline constexpr std::size_t kMonitoredSlots = 16;

// Where every setting lives in the image. The layout has no padding: offsets are exact.
namespace field {
inline constexpr Int32Field DetailFlag{36};
inline constexpr Int32Field ReferrerChoice{40};
inline constexpr Int32Field LineEndFlag{44};
inline constexpr Int32Field EndMinute{408};
inline constexpr Int32Field EndHour{412};
inline constexpr Int32Field EndDay{416};
inline constexpr Int32Field EndMonth{420};
inline constexpr Int32Field EndYear{424};
inline constexpr Int64Field DefaultCustomerFileMarkA{824};
inline constexpr Int64Field DefaultCustomerFileMarkB{832};
inline constexpr Int64Field CustomersAdded{888};
inline constexpr Int64Field CustomerNumberBase{936};
inline constexpr Int32Field CheckFrequency{1288};
inline constexpr Int32Field AlertMode{1292};
inline constexpr Int32Field IdentifyAsChoice{1302};
inline constexpr Int32Field BeepFlag{1306};
inline constexpr TextField VerifyFileFolder{4150, 200};
inline constexpr TextField VerifyFileName{5618, 200};
inline constexpr std::size_t kMailReservedOffset = 9326;
inline constexpr std::size_t kMailReservedSize = 320;
inline constexpr TextField SmtpServer{9646, 80};
inline constexpr TextField FromAddress{9726, 80};
inline constexpr TextField FromName{9806, 80};
inline constexpr TextField AlertAddress{24286, 200};
inline constexpr TextField OtherAgent{24686, 80};
inline constexpr TextField OtherReferrer{24886, 80};

constexpr TextField ServerField(DialogSlot slot) {
    return {9886 + 200 * static_cast<std::size_t>(slot), 200};
}
constexpr TextField SecondField(DialogSlot slot) {
    return {13086 + 200 * static_cast<std::size_t>(slot), 200};
}
constexpr TextField MonitoredServer(std::size_t slot) {
    return {16286 + 200 * slot, 200};
}
constexpr TextField MonitoredFolder(std::size_t slot) {
    return {20286 + 200 * slot, 200};
}
} // namespace field

// What the request-identity choices of the preferences stand for.
inline constexpr std::string_view kGoogleHomePage = "http://www.google.com";
inline constexpr std::string_view kYahooHomePage = "http://www.yahoo.com";
inline constexpr std::string_view kMsnHomePage = "http://www.msn.com";
inline constexpr std::string_view kDefaultOtherAgent = "mybot";
// The "Identify as" list, in the order of the choice stored in the settings.
inline constexpr std::array<std::string_view, 5> kIdentifyAsChoices = {
    "Mozilla/5.0", "Mozilla/4.0", "Korvane", "Googlebot/1.0", "Other"};

// Every setting and remembered dialog entry, as the raw little-endian image kept in kv.cfg.
// Each access takes the block's lock, so a worker never reads a field half-stored by a dialog.
class SettingsBlock {
  public:
    using Image = std::array<std::uint8_t, kSettingsSize>;

    struct LoadResult {
        bool opened = false;
        std::size_t bytesRead = 0;
    };
    struct SaveResult {
        bool ok = false;
        std::string error; // why it failed, for diagnostics
    };

    std::int32_t Get(Int32Field field) const;
    std::int64_t Get(Int64Field field) const;
    std::string Get(TextField field) const;
    void Set(Int32Field field, std::int32_t value);
    void Set(Int64Field field, std::int64_t value);
    // Stores at most field.MaxChars() characters and a terminating zero; bytes after it stay.
    void Set(TextField field, std::string_view text);

    bool IsOn(Int32Field flag) const { return Get(flag) == kFlagOn; }
    void SetOn(Int32Field flag, bool on) { Set(flag, on ? kFlagOn : kFlagOff); }

    Image CopyImage() const;
    void ReplaceImage(const Image& image);

    // Reads up to kSettingsSize bytes; a shorter file fills only the beginning, a missing or
    // unreadable one leaves the block as it is (all zero at start-up).
    LoadResult Load(const std::string& path);
    // Writes the whole image to a temporary file beside `path` and renames it over `path`, so a
    // failure or a crash leaves either the old file or the new one, never a torn one.
    SaveResult Save(const std::string& path) const;

  private:
    mutable std::mutex m_mutex;
    Image m_image{};
};

// The "Other" texts with their stored defaults applied.
std::string OtherAgentText(const SettingsBlock& settings);
std::string OtherReferrerText(const SettingsBlock& settings);

struct LocalTime;

// Stores `now` as the end time of the session: minute, hour, day, month and year.
void StampEndTime(SettingsBlock& settings, const LocalTime& now);

} // namespace korvane
