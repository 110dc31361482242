#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// A dialog described as data: the Qt layer renders any form, and the tests' scripted desktop
// answers it. A tool builds its form from the settings, shows it and stores what came back.
struct FormField {
    enum class Kind {
        Text,      // one-line text box
        MultiLine, // multi-line text box
        Check,     // check box
        Choice,    // drop-down list
        Radio,     // group of radio buttons; `selected` is the chosen one
        Note,      // static text
    };
    Kind kind = Kind::Text;
    std::string id; // the name tools and tests use to find the field
    std::string label;
    std::string text;                 // Text, MultiLine: the value in and out
    std::size_t maxChars = 0;         // Text, MultiLine: 0 means no limit
    bool upperCase = false;           // Text: every letter typed becomes a capital
    bool checked = false;             // Check
    std::vector<std::string> choices; // Choice, Radio
    int selected = -1;                // Choice, Radio: -1 when nothing is selected
    bool besidePrevious = false;      // laid out on the row of the field before it
    bool readOnly = false;            // Text, MultiLine: shown and selectable, not editable
    // Text, MultiLine: the text in and out is UTF-8, not single bytes, so that characters a
    // single byte cannot hold reach the tool, which then says what it cannot use (mail text).
    bool unicode = false;
    // Text: the text is a start for the user to complete ("http://www."): focus puts the caret
    // after it instead of selecting it, so the first key typed continues it.
    bool caretAtEnd = false;
    bool required = false; // Text: marked as a field that must be filled in
    // When not empty, the field sits in a frame of this label together with the fields next to
    // it that carry the same label.
    std::string group;
    // Text: when set, a "..." button beside the field runs it and puts the path it returns into
    // the field (a picker of the shared dialogs); nothing changes when it returns no path.
    std::function<std::optional<std::string>()> browse;

    static FormField TextBox(std::string id, std::string label, std::string text,
                             std::size_t maxChars);
    static FormField CheckBox(std::string id, std::string label, bool checked);
    static FormField ChoiceList(std::string id, std::string label, std::vector<std::string> choices,
                                int selected);
    static FormField RadioGroup(std::string id, std::string label, std::vector<std::string> choices,
                                int selected);
    static FormField NoteText(std::string text);
};

struct Form;

struct FormButton {
    std::string label;
    // The value RunForm returns when this button closes the form; 0 is reserved for cancelling.
    int result = 0;
    bool isDefault = false;
    // When set, pressing the button runs this with the form's current values and the dialog
    // stays open; the renderer shows whatever the action changed.
    std::function<void(Form&)> action;
};

inline constexpr int kFormCancelled = 0;
inline constexpr int kFormAccepted = 1;

struct Form {
    std::string name;  // the dialog's resource-style name, e.g. "Preferences" or "editbox"
    std::string title; // empty: the window has no title
    // When not empty, the fields sit inside a frame with this label.
    std::string frameLabel;
    std::vector<FormField> fields;
    std::vector<FormButton> buttons;
    std::string focusField; // id of the field that has the keyboard focus first

    FormField& Field(std::string_view id);
    const FormField& Field(std::string_view id) const;

    static std::vector<FormButton> OkCancel();
};

// Cuts every text to its field's limit and applies upper-casing, whatever the renderer did.
void ApplyFieldRules(Form& form);

} // namespace korvane
