#pragma once

#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string_view>

namespace korvane {

// Every command the main window dispatches, by its fixed number.
enum class Command : int {
    About = 104,
    Exit = 105,
    EmailIdentity = 32773,
    DatabaseEmail = 32774,
    CustomerAdd = 32776,
    CustomerAmend = 32777,
    CustomerDelete = 32778,
    CustomerDisplay = 32782,
    Mailmerge = 32783,
    ServerPageHeader = 32784,
    VerifyFolder = 32785,
    LinksAll = 32786,
    VerifyMultipleSites = 32787,
    Preferences = 32788,
    VerifyFile = 32789,
    Help = 32790,
    CheckPage = 32793,
    CheckSite = 32794,
    CheckMultipleSites = 32795,
    CheckCustomerSite = 32796,
    VerifyCustomerSite = 32797,
    WhoisSecond = 32798,
    LinksLocal = 32799,
    LinksExternal = 32800,
    HeaderCookies = 32801,
    ReferrerVariance = 32802,
    MarkupValidation = 32803,
    WhoisFirst = 32805,
    ConnectionDropAlert = 32806,
    SubmitUrl = 32807,
    EngineList = 32808,
    EngineDisplay = 32809,
    EngineAdd = 32810,
    EngineAmend = 32811,
    EngineDelete = 32812,
    LinkExchangeCheck = 32813,
    CustomerList = 32814,
    BrokenLinks = 32816,
    VisualComparison = 32817,
    ByteViewer = 32818,
    Md5Checksum = 32819,
    ServerPageHeaderIPv6 = 32820,
    CustomerReport = 32821,
};

struct MenuItem {
    Command command;
    std::string_view label;
    std::string_view hint; // shown right-aligned: the key of the key table
    bool separatorAfter = false;
};

struct Menu {
    std::string_view title;
    std::span<const MenuItem> items;
};

std::span<const Menu> MenuTable();

struct PictureButton {
    int id; // 2400..2404, top to bottom
    Command command;
};
std::span<const PictureButton> PictureButtonTable();

// Keys that act while the main window has the keyboard focus.
enum class Key { Letter, F1, F2, F3, F4 };
struct KeyBinding {
    Key key;
    char letter; // upper case, for Key::Letter; only with Ctrl held
    Command command;
};
std::span<const KeyBinding> KeyTable();

// The command for a key press; letters act only while Ctrl is held, Alt+"?" and Alt+"/" open
// the About box.
std::optional<Command> CommandForKey(Key key, char letter, bool ctrl, bool alt);

// Maps command numbers to the entry operations of the tools that are built; a command with no
// entry does nothing.
class CommandDispatcher {
  public:
    void Register(Command command, std::function<void()> entry);
    bool Dispatch(Command command) const;
    bool DispatchNumber(int number) const;
    bool IsRegistered(Command command) const;

  private:
    std::map<Command, std::function<void()>> m_entries;
};

} // namespace korvane
