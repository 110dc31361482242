#include "shell/form.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace korvane {

FormField FormField::TextBox(std::string id, std::string label, std::string text,
                             std::size_t maxChars) {
    FormField field;
    field.kind = Kind::Text;
    field.id = std::move(id);
    field.label = std::move(label);
    field.text = std::move(text);
    field.maxChars = maxChars;
    return field;
}

FormField FormField::CheckBox(std::string id, std::string label, bool checked) {
    FormField field;
    field.kind = Kind::Check;
    field.id = std::move(id);
    field.label = std::move(label);
    field.checked = checked;
    return field;
}

FormField FormField::ChoiceList(std::string id, std::string label, std::vector<std::string> choices,
                                int selected) {
    FormField field;
    field.kind = Kind::Choice;
    field.id = std::move(id);
    field.label = std::move(label);
    field.choices = std::move(choices);
    field.selected = selected;
    return field;
}

FormField FormField::RadioGroup(std::string id, std::string label, std::vector<std::string> choices,
                                int selected) {
    FormField field = ChoiceList(std::move(id), std::move(label), std::move(choices), selected);
    field.kind = Kind::Radio;
    return field;
}

FormField FormField::NoteText(std::string text) {
    FormField field;
    field.kind = Kind::Note;
    field.text = std::move(text);
    return field;
}

FormField& Form::Field(std::string_view id) {
    auto found = std::find_if(fields.begin(), fields.end(),
                              [&](const FormField& field) { return field.id == id; });
    if (found == fields.end())
        throw std::out_of_range("form " + name + " has no field " + std::string(id));
    return *found;
}

const FormField& Form::Field(std::string_view id) const {
    return const_cast<Form*>(this)->Field(id);
}

std::vector<FormButton> Form::OkCancel() {
    return {FormButton{"OK", kFormAccepted, true, {}},
            FormButton{"Cancel", kFormCancelled, false, {}}};
}

void ApplyFieldRules(Form& form) {
    for (FormField& field : form.fields) {
        if (field.kind != FormField::Kind::Text && field.kind != FormField::Kind::MultiLine)
            continue;
        if (field.maxChars > 0 && field.unicode) {
            // Characters, not bytes: a cut never splits one. UTF-8 continuation bytes are
            // 10xxxxxx.
            std::size_t characters = 0;
            for (std::size_t i = 0; i < field.text.size(); ++i) {
                if ((static_cast<unsigned char>(field.text[i]) & 0xC0) != 0x80 &&
                    ++characters > field.maxChars) {
                    field.text.resize(i);
                    break;
                }
            }
        } else if (field.maxChars > 0 && field.text.size() > field.maxChars) {
            field.text.resize(field.maxChars);
        }
        if (field.upperCase)
            std::transform(field.text.begin(), field.text.end(), field.text.begin(), [](char c) {
                return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            });
    }
}

} // namespace korvane
