#include "file_utils/byte_viewer.h"

#include "file_utils/md5.h"
#include "shell/posix_file.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {

namespace {

std::mutex g_rememberedMutex;
std::string g_remembered;

char TextCharacter(unsigned char byte) {
    return byte <= 32 ? ' ' : static_cast<char>(byte);
}

std::string TextOf(const std::string& bytes) {
    std::string text(bytes.size(), ' ');
    std::transform(bytes.begin(), bytes.end(), text.begin(),
                   [](char c) { return TextCharacter(static_cast<unsigned char>(c)); });
    return text;
}

std::string DecimalList(const std::string& bytes) {
    std::string list;
    for (char c : bytes) {
        if (!list.empty())
            list += ',';
        list += std::to_string(static_cast<unsigned char>(c));
    }
    return list;
}

ByteViewerModel::Cell CellOf(unsigned char byte) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%X", byte);
    return {byte <= 32 ? std::string("   ") : std::string(1, static_cast<char>(byte)),
            std::to_string(byte), hex};
}

// Keeps the current directory across a dialog whose picker may change it.
class CurrentDirectoryGuard {
  public:
    bool Save() {
        char buffer[4096];
        if (::getcwd(buffer, sizeof buffer) == nullptr)
            return false;
        m_saved = buffer;
        return true;
    }
    ~CurrentDirectoryGuard() {
        if (!m_saved.empty() && ::chdir(m_saved.c_str()) != 0) {
            // Nothing to restore to: the folder went away while the dialog was open.
        }
    }

  private:
    std::string m_saved;
};

} // namespace

std::string RememberedFileName() {
    std::lock_guard lock(g_rememberedMutex);
    return g_remembered;
}

void SetRememberedFileName(std::string name) {
    if (name.size() > kRememberedFileMaxChars)
        name.resize(kRememberedFileMaxChars);
    std::lock_guard lock(g_rememberedMutex);
    g_remembered = std::move(name);
}

std::optional<std::string> SelectFile(Shell& shell, const std::string& title) {
    CurrentDirectoryGuard directory;
    if (!directory.Save()) {
        shell.desktop.ShowMessage("Unable to locate directory.", "Problem");
        return std::nullopt;
    }
    // From now on every picker offers all files, without a type list.
    shell.pickers.EmptyTypeList();
    Form form;
    form.name = "SelectFile";
    form.title = title;
    form.fields.push_back(FormField::NoteText("Please select the file"));
    FormField name =
        FormField::TextBox("FileName", "", RememberedFileName(), kRememberedFileMaxChars);
    name.browse = [&shell] { return shell.pickers.PickOpen(shell.desktop); };
    form.fields.push_back(std::move(name));
    form.buttons = Form::OkCancel();
    form.focusField = "FileName";
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return std::nullopt;
    const std::string chosen = form.Field("FileName").text;
    SetRememberedFileName(chosen);
    if (chosen.empty())
        return std::nullopt;
    return chosen;
}

ByteViewerModel::ByteViewerModel(std::string path) : m_path(std::move(path)) {}

std::uint32_t ByteViewerModel::LastPosition() const {
    return m_size < kViewerRowBytes ? 0 : m_size - static_cast<std::uint32_t>(kViewerRowBytes);
}

std::string ByteViewerModel::Title() const {
    return m_path + "  Size: " + std::to_string(m_size);
}

std::optional<std::string> ByteViewerModel::Read(std::int64_t offset, std::size_t count) const {
    FileDescriptor file(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen())
        return std::nullopt;
    std::string bytes(count, '\0');
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = ::pread(file.Get(), bytes.data() + got, count - got,
                                  static_cast<off_t>(offset) + static_cast<off_t>(got));
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

void ByteViewerModel::Open() {
    struct stat status {};
    // Sizes of 4 GiB and more are not supported: the size is a 32-bit count.
    m_size = ::stat(m_path.c_str(), &status) == 0 ? static_cast<std::uint32_t>(status.st_size) : 0;
    m_midText.clear();
    m_midDecimal.clear();
    m_endText.clear();
    m_endDecimal.clear();
    if (m_size >= kViewerSampleBytes) {
        if (const auto mid = Read(m_size / 2, kViewerSampleBytes)) {
            m_midText = TextOf(*mid);
            m_midDecimal = DecimalList(*mid);
        }
        if (const auto end = Read(m_size - kViewerSampleBytes, kViewerSampleBytes)) {
            m_endText = TextOf(*end);
            m_endDecimal = DecimalList(*end);
        }
    }
    Show(0);
}

void ByteViewerModel::Scroll(ScrollAction action, std::uint32_t thumbPosition) {
    const std::uint32_t last = LastPosition();
    std::uint32_t p = m_position;
    switch (action) {
    case ScrollAction::StepLeft:
        p = p > 0 ? p - 1 : 0;
        break;
    case ScrollAction::StepRight:
        p = std::min(p + 1, last);
        break;
    case ScrollAction::PageLeft:
        p = p > kViewerRowBytes ? p - static_cast<std::uint32_t>(kViewerRowBytes) : 0;
        break;
    case ScrollAction::PageRight:
        p = std::min(p + static_cast<std::uint32_t>(kViewerRowBytes), last);
        break;
    case ScrollAction::Thumb:
        p = std::min(thumbPosition, last);
        break;
    case ScrollAction::ToStart:
        p = 0;
        break;
    case ScrollAction::ToEnd:
        p = last;
        break;
    case ScrollAction::EndScroll:
        break;
    }
    Show(p);
}

void ByteViewerModel::Show(std::uint32_t position) {
    m_position = position;
    const std::int64_t windowStart =
        position < kViewerWindowBytes / 2 ? 0 : std::int64_t{position} - kViewerWindowBytes / 2;
    if (const auto window = Read(windowStart, kViewerWindowBytes); window && !window->empty())
        m_window = TextOf(*window);
    if (const auto row = Read(position, kViewerRowBytes)) {
        m_row = TextOf(*row);
        for (std::size_t i = 0; i < kViewerRowBytes; ++i)
            m_cells[i] = CellOf(i < row->size() ? static_cast<unsigned char>((*row)[i]) : 0);
    }
}

void ByteViewerCommand(Shell& shell) {
    const auto path = SelectFile(shell, "File byte viewer");
    if (!path)
        return;
    ByteViewerModel model(*path);
    model.Open();
    shell.desktop.ShowByteViewer(model);
}

void Md5ChecksumCommand(Shell& shell) {
    const auto path = SelectFile(shell, "Display file MD5 checksum");
    if (!path)
        return;
    struct stat status {};
    if (::stat(path->c_str(), &status) != 0)
        return;
    const auto digest = Md5OfFile(*path);
    if (!digest)
        return;
    Form form;
    form.name = "MD5 checksum";
    form.title = "MD5 checksum";
    FormField file = FormField::TextBox(
        "File", "", *path + "  Size: " + std::to_string(static_cast<std::uint32_t>(status.st_size)),
        0);
    file.readOnly = true;
    form.fields.push_back(std::move(file));
    FormField digestField = FormField::TextBox("Digest", "", Md5Hex(*digest), 0);
    digestField.readOnly = true; // selectable for copying, not for editing
    form.fields.push_back(std::move(digestField));
    form.buttons = {FormButton{"OK", kFormAccepted, true, {}}};
    form.focusField = "Digest";
    ShowForm(shell.desktop, form);
}

} // namespace korvane
