#pragma once

#include "shell/form.h"

#include <QDialog>

#include <functional>
#include <vector>

namespace korvane::gui {

// Renders any core Form as a modal dialog. Every field's widget carries the field's id as its
// object name, so tests can find it.
class FormDialog final : public QDialog {
    Q_OBJECT

  public:
    FormDialog(Form& form, QWidget* parent);

    // Runs the dialog and leaves the entries in the form; returns the closing button's result.
    int Run();

  private:
    struct Binding {
        std::function<void()> toForm;
        std::function<void()> fromForm;
    };

    QWidget* BuildField(FormField& field);
    void CopyToForm();
    void CopyFromForm();
    void RunAction(const FormButton& button);

    Form& m_form;
    std::vector<Binding> m_bindings;
};

} // namespace korvane::gui
