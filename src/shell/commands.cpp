#include "shell/commands.h"

#include <array>
#include <cctype>

namespace korvane {

namespace {

using C = Command;

constexpr std::array kFileMenu = {MenuItem{C::Exit, "E&xit", ""}};

constexpr std::array kCustomerMenu = {
    MenuItem{C::CustomerDisplay, "Display", "F2"},
    MenuItem{C::CustomerList, "List", "", true},
    MenuItem{C::CustomerAdd, "Add", "F3"},
    MenuItem{C::CustomerAmend, "Amend", "F4"},
    // The two mailings go to customers of this database, so they live beside it.
    MenuItem{C::CustomerDelete, "Delete", "", true},
    MenuItem{C::DatabaseEmail, "Database email", ""},
    MenuItem{C::Mailmerge, "Mailmerge", ""},
    MenuItem{C::CustomerReport, "Report", ""},
};

constexpr std::array kHeaderMenu = {
    MenuItem{C::ServerPageHeader, "Server page header", "^H"},
    MenuItem{C::ServerPageHeaderIPv6, "Server page header IPv6", ""},
    MenuItem{C::HeaderCookies, "Header cookies", "^J"},
};

constexpr std::array kCheckMenu = {
    MenuItem{C::CheckPage, "Page", "^B"},
    MenuItem{C::CheckSite, "Site", "^D"},
    MenuItem{C::CheckMultipleSites, "Multiple sites", ""},
    MenuItem{C::CheckCustomerSite, "Customer site", ""},
};

constexpr std::array kVerifyMenu = {
    MenuItem{C::VerifyFile, "Local file to site", "^V"},
    MenuItem{C::VerifyFolder, "Local folder to site", "^S"},
    MenuItem{C::VerifyMultipleSites, "Multiple folders to sites", ""},
    MenuItem{C::VerifyCustomerSite, "Customer site from database", "^C"},
};

constexpr std::array kReferrerMenu = {MenuItem{C::ReferrerVariance, "Verify distinct", "^R"}};

constexpr std::array kLinkMenu = {
    MenuItem{C::LinksAll, "Page all", "^L"},
    MenuItem{C::LinksLocal, "Page local", ""},
    MenuItem{C::LinksExternal, "Page external", "", true},
    MenuItem{C::BrokenLinks, "Broken links", ""},
};

constexpr std::array kSubmitMenu = {
    MenuItem{C::SubmitUrl, "Submit URL", "", true},
    MenuItem{C::EngineDisplay, "Display entry", ""},
    MenuItem{C::EngineList, "List", "", true},
    MenuItem{C::EngineAdd, "Add search engine", ""},
    MenuItem{C::EngineAmend, "Amend search engine", ""},
    MenuItem{C::EngineDelete, "Delete search engine", ""},
};

constexpr std::array kLinkExchangeMenu = {MenuItem{C::LinkExchangeCheck, "Check", ""}};

constexpr std::array kUtilitiesMenu = {
    MenuItem{C::MarkupValidation, "Page syntax check (W3.org)", "", true},
    MenuItem{C::WhoisFirst, "Whois (Network Solutions)", ""},
    MenuItem{C::WhoisSecond, "Whois (Icann.org)", "", true},
    MenuItem{C::ByteViewer, "File byte viewer", ""},
    MenuItem{C::Md5Checksum, "MD5 checksum generator", ""},
    MenuItem{C::VisualComparison, "Visual file comparison", "", true},
    MenuItem{C::ConnectionDropAlert, "Connection drop audio alert", "", true},
    MenuItem{C::Preferences, "Preferences", "^P"},
    // Both settings dialogs of the program sit together.
    MenuItem{C::EmailIdentity, "Email identity", ""},
};

constexpr std::array kHelpMenu = {
    MenuItem{C::Help, "Help", ""},
    MenuItem{C::About, "&About ...", ""},
};

constexpr std::array kMenus = {
    Menu{"&File", kFileMenu},
    Menu{"Customer database", kCustomerMenu},
    Menu{"Header", kHeaderMenu},
    Menu{"Check", kCheckMenu},
    Menu{"Verify", kVerifyMenu},
    Menu{"Referrer", kReferrerMenu},
    Menu{"Link extraction", kLinkMenu},
    Menu{"URL submit and database", kSubmitMenu},
    Menu{"Link exchange", kLinkExchangeMenu},
    Menu{"Utilities", kUtilitiesMenu},
    Menu{"&Help", kHelpMenu},
};

constexpr std::array kPictureButtons = {
    PictureButton{2400, C::ServerPageHeader}, PictureButton{2401, C::VerifyFile},
    PictureButton{2402, C::VerifyFolder},     PictureButton{2403, C::CheckSite},
    PictureButton{2404, C::LinksAll},
};

constexpr std::array kKeys = {
    KeyBinding{Key::Letter, 'B', C::CheckPage},
    KeyBinding{Key::Letter, 'C', C::VerifyCustomerSite},
    KeyBinding{Key::Letter, 'D', C::CheckSite},
    KeyBinding{Key::Letter, 'H', C::ServerPageHeader},
    KeyBinding{Key::Letter, 'J', C::HeaderCookies},
    KeyBinding{Key::Letter, 'L', C::LinksAll},
    KeyBinding{Key::Letter, 'P', C::Preferences},
    KeyBinding{Key::Letter, 'R', C::ReferrerVariance},
    KeyBinding{Key::Letter, 'S', C::VerifyFolder},
    KeyBinding{Key::Letter, 'V', C::VerifyFile},
    KeyBinding{Key::F1, 0, C::Help},
    KeyBinding{Key::F2, 0, C::CustomerDisplay},
    KeyBinding{Key::F3, 0, C::CustomerAdd},
    KeyBinding{Key::F4, 0, C::CustomerAmend},
};

} // namespace

std::span<const Menu> MenuTable() {
    return kMenus;
}
std::span<const PictureButton> PictureButtonTable() {
    return kPictureButtons;
}
std::span<const KeyBinding> KeyTable() {
    return kKeys;
}

std::optional<Command> CommandForKey(Key key, char letter, bool ctrl, bool alt) {
    if (key == Key::Letter && alt && (letter == '?' || letter == '/'))
        return Command::About;
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    for (const KeyBinding& binding : kKeys) {
        if (binding.key != key)
            continue;
        if (key != Key::Letter)
            return binding.command;
        if (ctrl && binding.letter == upper)
            return binding.command;
    }
    return std::nullopt;
}

void CommandDispatcher::Register(Command command, std::function<void()> entry) {
    m_entries[command] = std::move(entry);
}

bool CommandDispatcher::Dispatch(Command command) const {
    const auto found = m_entries.find(command);
    if (found == m_entries.end())
        return false;
    found->second();
    return true;
}

bool CommandDispatcher::DispatchNumber(int number) const {
    for (const auto& [command, entry] : m_entries) {
        if (static_cast<int>(command) == number) {
            entry();
            return true;
        }
    }
    return false;
}

bool CommandDispatcher::IsRegistered(Command command) const {
    return m_entries.count(command) != 0;
}

} // namespace korvane
