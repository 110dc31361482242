#include "shell/settings_block.h"

#include "shell/clock.h"
#include "shell/posix_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace korvane {

namespace {

template <typename T> T ReadLittleEndian(const std::uint8_t* bytes) {
    using U = std::make_unsigned_t<T>;
    U value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value = static_cast<U>(value | static_cast<U>(static_cast<U>(bytes[i]) << (8 * i)));
    return static_cast<T>(value);
}

template <typename T> void WriteLittleEndian(std::uint8_t* bytes, T value) {
    using U = std::make_unsigned_t<T>;
    const U raw = static_cast<U>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i)
        bytes[i] = static_cast<std::uint8_t>(raw >> (8 * i));
}

} // namespace

std::int32_t SettingsBlock::Get(Int32Field field) const {
    std::lock_guard lock(m_mutex);
    return ReadLittleEndian<std::int32_t>(m_image.data() + field.offset);
}

std::int64_t SettingsBlock::Get(Int64Field field) const {
    std::lock_guard lock(m_mutex);
    return ReadLittleEndian<std::int64_t>(m_image.data() + field.offset);
}

std::string SettingsBlock::Get(TextField field) const {
    std::lock_guard lock(m_mutex);
    const auto* begin = m_image.data() + field.offset;
    // A field whose terminator was lost (a foreign kv.cfg) still yields at most MaxChars.
    const auto* end = std::find(begin, begin + field.MaxChars(), std::uint8_t{0});
    return std::string(begin, end);
}

void SettingsBlock::Set(Int32Field field, std::int32_t value) {
    std::lock_guard lock(m_mutex);
    WriteLittleEndian(m_image.data() + field.offset, value);
}

void SettingsBlock::Set(Int64Field field, std::int64_t value) {
    std::lock_guard lock(m_mutex);
    WriteLittleEndian(m_image.data() + field.offset, value);
}

void SettingsBlock::Set(TextField field, std::string_view text) {
    const std::size_t length = std::min(text.size(), field.MaxChars());
    std::lock_guard lock(m_mutex);
    auto* begin = m_image.data() + field.offset;
    std::copy_n(text.begin(), length, begin);
    begin[length] = 0;
}

SettingsBlock::Image SettingsBlock::CopyImage() const {
    std::lock_guard lock(m_mutex);
    return m_image;
}

void SettingsBlock::ReplaceImage(const Image& image) {
    std::lock_guard lock(m_mutex);
    m_image = image;
}

SettingsBlock::LoadResult SettingsBlock::Load(const std::string& path) {
    LoadResult result;
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen())
        return result;
    result.opened = true;
    Image image{};
    result.bytesRead = ReadUpTo(file.Get(), image.data(), image.size());
    std::lock_guard lock(m_mutex);
    std::copy_n(image.begin(), result.bytesRead, m_image.begin());
    return result;
}

SettingsBlock::SaveResult SettingsBlock::Save(const std::string& path) const {
    const Image image = CopyImage();
    SaveResult result;
    const AtomicWriteResult written = WriteFileAtomically(path, image.data(), image.size());
    result.ok = written.ok;
    result.error = written.error;
    return result;
}

std::string OtherAgentText(const SettingsBlock& settings) {
    const std::string text = settings.Get(field::OtherAgent);
    return text.empty() ? std::string(kDefaultOtherAgent) : text;
}

std::string OtherReferrerText(const SettingsBlock& settings) {
    const std::string text = settings.Get(field::OtherReferrer);
    return text.empty() ? std::string(kMsnHomePage) : text;
}

void StampEndTime(SettingsBlock& settings, const LocalTime& now) {
    settings.Set(field::EndMinute, now.minute);
    settings.Set(field::EndHour, now.hour);
    settings.Set(field::EndDay, now.day);
    settings.Set(field::EndMonth, now.month);
    settings.Set(field::EndYear, now.year);
}

} // namespace korvane
