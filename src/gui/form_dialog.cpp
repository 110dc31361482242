#include "gui/form_dialog.h"

#include "gui/text.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace korvane::gui {

namespace {

void KeepUpperCase(QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
        const QString upper = text.toUpper();
        if (upper == text)
            return;
        const int cursor = edit->cursorPosition();
        edit->setText(upper);
        edit->setCursorPosition(cursor);
    });
}

void KeepWithinLimit(QPlainTextEdit* edit, std::size_t maxChars) {
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit, maxChars] {
        const QString text = edit->toPlainText();
        if (static_cast<std::size_t>(text.size()) <= maxChars)
            return;
        edit->setPlainText(text.left(static_cast<qsizetype>(maxChars)));
        edit->moveCursor(QTextCursor::End);
    });
}

// A box whose text is a start for the user to complete. Qt selects a line edit's whole text when
// the keyboard (or the dialog opening) gives it the focus; here the caret goes after the text.
class StartingTextEdit final : public QLineEdit {
  protected:
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        const Qt::FocusReason reason = event->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
            reason == Qt::ShortcutFocusReason) {
            deselect();
            end(false);
        }
    }
};

} // namespace

FormDialog::FormDialog(Form& form, QWidget* parent) : QDialog(parent), m_form(form) {
    setObjectName(ToQString(form.name));
    setWindowTitle(ToQString(form.title));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    // The rows of the dialog's own grid, and of the frame of the group being laid out.
    struct Rows {
        QGridLayout* grid = nullptr;
        int row = -1;
    };
    Rows outer{grid, -1};
    Rows framed;
    QWidget* focus = nullptr;
    const std::size_t count = m_form.fields.size();
    for (std::size_t i = 0; i < count; ++i) {
        FormField& field = m_form.fields[i];
        const bool sameGroupAsPrevious = i > 0 && m_form.fields[i - 1].group == field.group;
        if (!sameGroupAsPrevious && !field.group.empty()) {
            auto* frame = new QGroupBox(ToQString(field.group));
            framed = Rows{new QGridLayout(frame), -1};
            framed.grid->setHorizontalSpacing(10);
            grid->addWidget(frame, ++outer.row, 0, 1, 4);
        }
        Rows& rows = field.group.empty() ? outer : framed;
        const bool beside = field.besidePrevious && sameGroupAsPrevious;
        const bool sharesRow = i + 1 < count && m_form.fields[i + 1].besidePrevious &&
                               m_form.fields[i + 1].group == field.group;
        if (!beside)
            ++rows.row;
        // A row holds one field across all four columns, or two fields of two columns each.
        const int column = beside ? 2 : 0;
        const int span = beside || sharesRow ? 2 : 4;
        QWidget* widget = BuildField(field);
        if (field.kind == FormField::Kind::Note || field.kind == FormField::Kind::Check ||
            field.kind == FormField::Kind::Radio) {
            rows.grid->addWidget(widget, rows.row, column, 1, span);
        } else {
            auto* label = new QLabel(ToQString(field.label));
            label->setBuddy(widget);
            rows.grid->addWidget(label, rows.row, column);
            rows.grid->addWidget(widget, rows.row, column + 1, 1, span - 1);
        }
        if (field.id == form.focusField)
            focus = widget->focusProxy() ? widget->focusProxy() : widget;
    }

    auto* layout = new QVBoxLayout(this);
    if (!form.frameLabel.empty()) {
        auto* frame = new QGroupBox(ToQString(form.frameLabel));
        frame->setLayout(grid);
        layout->addWidget(frame);
    } else {
        layout->addLayout(grid);
    }

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (const FormButton& button : m_form.buttons) {
        auto* push = new QPushButton(ToQString(button.label));
        push->setObjectName(ToQString(button.label));
        push->setDefault(button.isDefault);
        push->setAutoDefault(button.isDefault);
        connect(push, &QPushButton::clicked, this, [this, &button] {
            if (button.action) {
                RunAction(button);
            } else if (button.result == kFormCancelled) {
                reject();
            } else {
                CopyToForm();
                done(button.result);
            }
        });
        buttons->addWidget(push);
    }
    layout->addLayout(buttons);
    if (focus != nullptr)
        focus->setFocus();
}

QWidget* FormDialog::BuildField(FormField& field) {
    const QString id = ToQString(field.id);
    switch (field.kind) {
    case FormField::Kind::Text: {
        auto* edit = field.caretAtEnd ? new StartingTextEdit : new QLineEdit;
        edit->setObjectName(id);
        if (field.required) {
            QPalette marked = edit->palette();
            marked.setColor(QPalette::Base, Qt::yellow);
            edit->setPalette(marked);
        }
        if (field.maxChars > 0)
            edit->setMaxLength(static_cast<int>(field.maxChars));
        if (field.upperCase)
            KeepUpperCase(edit);
        edit->setReadOnly(field.readOnly);
        edit->setMinimumWidth(220);
        m_bindings.push_back(
            {[edit, &field] { field.text = FieldStdString(edit->text(), field.unicode); },
             [edit, &field] { edit->setText(FieldQString(field.text, field.unicode)); }});
        if (!field.browse)
            return edit;
        auto* row = new QWidget;
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        rowLayout->addWidget(edit);
        auto* browse = new QPushButton(QStringLiteral("..."));
        browse->setObjectName(id + QStringLiteral("Browse"));
        browse->setAutoDefault(false);
        connect(browse, &QPushButton::clicked, this, [edit, &field] {
            if (const auto path = field.browse())
                edit->setText(ToQString(*path));
        });
        rowLayout->addWidget(browse);
        row->setFocusProxy(edit);
        return row;
    }
    case FormField::Kind::MultiLine: {
        auto* edit = new QPlainTextEdit;
        edit->setObjectName(id);
        edit->setReadOnly(field.readOnly);
        if (field.maxChars > 0)
            KeepWithinLimit(edit, field.maxChars);
        // Line ends are CR LF in the core, as a text box of the Windows kind hands them over.
        m_bindings.push_back({[edit, &field] {
                                  QString text = edit->toPlainText();
                                  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
                                  field.text = FieldStdString(text, field.unicode);
                              },
                              [edit, &field] {
                                  QString shown = FieldQString(field.text, field.unicode);
                                  edit->setPlainText(
                                      shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
                              }});
        return edit;
    }
    case FormField::Kind::Check: {
        auto* box = new QCheckBox(ToQString(field.label));
        box->setObjectName(id);
        m_bindings.push_back({[box, &field] { field.checked = box->isChecked(); },
                              [box, &field] { box->setChecked(field.checked); }});
        return box;
    }
    case FormField::Kind::Choice: {
        auto* list = new QComboBox;
        list->setObjectName(id);
        list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        for (const std::string& choice : field.choices)
            list->addItem(ToQString(choice));
        m_bindings.push_back({[list, &field] { field.selected = list->currentIndex(); },
                              [list, &field] { list->setCurrentIndex(field.selected); }});
        return list;
    }
    case FormField::Kind::Radio: {
        auto* group = new QGroupBox(ToQString(field.label));
        group->setObjectName(id);
        auto* groupLayout = new QVBoxLayout(group);
        auto* buttons = new QButtonGroup(group);
        for (std::size_t i = 0; i < field.choices.size(); ++i) {
            auto* radio = new QRadioButton(ToQString(field.choices[i]));
            radio->setObjectName(id + QString::number(i));
            buttons->addButton(radio, static_cast<int>(i));
            groupLayout->addWidget(radio);
        }
        m_bindings.push_back({[buttons, &field] { field.selected = buttons->checkedId(); },
                              [buttons, &field] {
                                  if (QAbstractButton* chosen = buttons->button(field.selected))
                                      chosen->setChecked(true);
                              }});
        return group;
    }
    case FormField::Kind::Note: {
        auto* note = new QLabel(ToQString(field.text));
        note->setObjectName(id);
        note->setWordWrap(true);
        m_bindings.push_back({[] {}, [note, &field] { note->setText(ToQString(field.text)); }});
        return note;
    }
    }
    return new QWidget;
}

void FormDialog::CopyToForm() {
    for (Binding& binding : m_bindings)
        binding.toForm();
}

void FormDialog::CopyFromForm() {
    for (Binding& binding : m_bindings)
        binding.fromForm();
}

void FormDialog::RunAction(const FormButton& button) {
    CopyToForm();
    button.action(m_form);
    CopyFromForm();
}

int FormDialog::Run() {
    CopyFromForm();
    return exec();
}

} // namespace korvane::gui
