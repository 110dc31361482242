#include "databases/customers.h"

#include "shell/form.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"

#include <array>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace korvane::customers {

namespace {

constexpr StoreTexts kTexts{
    {"Data file: member.dat, not present.", "Fatal error"},
    {"Not able to read member.dat", "Problem"},
    {"member.dat", "Problem"},
    {"Data file: member.dat, not present.", "Fatal error"},
    {"Member.dat", "Problem"},
    {"Data file: member.dat, not present.", "Problem"},
    {"Member.dat", "Problem"},
    {"Data file: member.dat, not present.", "Fatal error"},
    {"Not able to write to member.dat", "Problem"},
    {"Data file: member.dat, not present.", "Fatal error"},
    {"Not able to write member.dat", "Problem"},
    {"Data file: member.dat, not present.", "Fatal error"},
    {"Not able to read member.dat", "Problem"},
};

constexpr std::string_view kLinkExchangeHelp =
    "The Check option on the Link exchange menu may be used to verify the 'Link text' above is "
    "on the domain page.";
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

constexpr int kFirstCreationYear = 1990;

// How a field shows in the entry dialog and whether the match dialog shows it.
enum Shown : unsigned {
    kUpper = 1,    // letters turn upper case as typed
    kBeside = 2,   // on the row of the field before it, to keep the form short
    kMatch = 4,    // one of the fields the match dialog shows
    kRequired = 8, // marked as a field that must be filled in
    kContact = 16, // in the entry dialog's "Contact" frame
    kLink = 32,    // in the entry dialog's link-exchange frame
};

constexpr std::string_view kContactGroup = "Contact";
constexpr std::string_view kLinkGroup = "Link exchange";

// Every customer text field once. The entry dialog and the match dialog show them in this order,
// the view in the order of `viewRow`. A field the entry dialog does not take as typed text has no
// character limit: the creation date, which it takes as three lists in this place, and Updated.
struct CustomerField {
    std::string_view label; // also the id of its dialog field
    TextField field;
    std::size_t maxChars;
    unsigned shown;
    int viewRow;
    std::string_view viewLabel = {};  // where the view names it otherwise
    std::string_view matchLabel = {}; // where the match dialog names it otherwise
};

constexpr std::array<CustomerField, 34> kFields = {{
    {"Company", customer::Company, 39, kUpper | kBeside | kMatch | kRequired, 0, {}, "Customer"},
    {"Road", customer::Road, 29, kUpper | kMatch, 1},
    {"Town", customer::Town, 29, kUpper | kBeside | kMatch, 2},
    {"State", customer::State, 19, kUpper | kMatch, 3},
    {"Zip / Post", customer::Zip, 9, kUpper | kBeside | kMatch, 4},
    {"Title", customer::Title, 19, kContact | kMatch, 5},
    {"First name", customer::FirstName, 19, kContact | kBeside | kMatch, 6},
    {"Last name", customer::LastName, 29, kContact | kMatch, 7},
    {"Email 1", customer::Email1, 39, kMatch, 10},
    {"Email 2", customer::Email2, 39, kBeside | kMatch, 11},
    {"Telephone 1", customer::Telephone1, 19, kMatch, 8},
    {"Telephone 2", customer::Telephone2, 19, kBeside | kMatch, 9},
    {"Host", customer::Host, 29, 0, 12},
    {"Host type", customer::HostType, 29, kBeside, 13},
    {"FTP server", customer::FtpServer, 29, 0, 14, "Ftp server"},
    {"Creation date", customer::CreationDate, 0, 0, 15},
    {"Updated", customer::Updated, 0, 0, 16},
    {"Server 1", customer::Server(0), 199, kMatch, 17},
    {"Local folder 1", customer::LocalFolder(0), 199, kBeside | kMatch, 18},
    {"Server 2", customer::Server(1), 199, kMatch, 19},
    {"Local folder 2", customer::LocalFolder(1), 199, kBeside | kMatch, 20},
    {"Server 3", customer::Server(2), 199, 0, 21},
    {"Local folder 3", customer::LocalFolder(2), 199, kBeside, 22},
    {"Server 4", customer::Server(3), 199, 0, 23},
    {"Local folder 4", customer::LocalFolder(3), 199, kBeside, 24},
    {"FTP User name", customer::FtpUserName, 29, 0, 25, "Ftp user name"},
    {"FTP Password", customer::FtpPassword, 29, kBeside, 26, "Ftp password"},
    {"Admin contact", customer::AdminContact, 29, 0, 27},
    {"Domain expiry", customer::DomainExpiry, 29, kBeside, 28},
    {"DNS 1", customer::Dns1, 39, 0, 29},
    {"DNS 2", customer::Dns2, 39, kBeside, 30},
    {"Domain", customer::LinkDomain, 199, kLink, 31},
    {"Page", customer::LinkPage, 199, kLink | kBeside, 32},
    {"Link text", customer::LinkText, 199, kLink, 33},
}};

struct ShownField {
    std::string_view label;
    TextField field;
};

std::vector<ShownField> ViewFields() {
    std::vector<ShownField> shown;
    for (int row = 0; row < static_cast<int>(kFields.size()); ++row)
        for (const CustomerField& spec : kFields)
            if (spec.viewRow == row)
                shown.push_back({spec.viewLabel.empty() ? spec.label : spec.viewLabel, spec.field});
    return shown;
}

std::vector<ShownField> MatchFields() {
    std::vector<ShownField> shown;
    for (const CustomerField& spec : kFields)
        if (spec.shown & kMatch)
            shown.push_back({spec.matchLabel.empty() ? spec.label : spec.matchLabel, spec.field});
    return shown;
}

CustomerStore& Store(Shell& shell) {
    return shell.records.customers;
}

// A read-only view as a form.
Form ViewForm(std::string name, std::string title, const CustomerRecord& record,
              const std::vector<ShownField>& shown) {
    Form form;
    form.name = std::move(name);
    form.title = std::move(title);
    form.fields.push_back(FormField::TextBox("Number", "Number", NumberText(record.Number()), 0));
    for (const ShownField& item : shown)
        form.fields.push_back(FormField::TextBox(std::string(item.label), std::string(item.label),
                                                 record.Text(item.field), 0));
    for (std::size_t i = 0; i < form.fields.size(); ++i) {
        form.fields[i].readOnly = true;
        form.fields[i].besidePrevious = i % 2 == 1; // two to a row
    }
    return form;
}

Form CustomerView(const CustomerRecord& record) {
    Form form = ViewForm("DIALOG4", "CUSTOMER", record, ViewFields());
    form.buttons = {{"OK", kFormAccepted, true, {}}, {"Next", kFormNext, false, {}}};
    return form;
}

Form CustomerMatchDialog(const CustomerRecord& record) {
    Form form = ViewForm("DIALOG5", "FIND CUSTOMER", record, MatchFields());
    form.buttons = {{"OK", kFormAccepted, true, {}},
                    {"Cancel", kFormCancelled, false, {}},
                    {"Next", kFormNext, false, {}}};
    return form;
}

MatchChoice OfferMatch(Shell& shell, const CustomerRecord& record) {
    Form form = CustomerMatchDialog(record);
    const int result = ShowForm(shell.desktop, form);
    if (result == kFormNext)
        return MatchChoice::Next;
    return result == kFormAccepted ? MatchChoice::Accept : MatchChoice::Cancel;
}

// The view; its Next shows the customer with the next higher number until the index ends.
void ShowCustomers(Shell& shell, CustomerRecord record) {
    for (;;) {
        Form form = CustomerView(record);
        if (ShowForm(shell.desktop, form) != kFormNext)
            return;
        const std::int64_t shown = record.Number();
        if (shown == INT64_MAX)
            return;
        const Lookup<CustomerRecord> next = Store(shell).FindFrom(shown + 1);
        if (!TellRead(shell, next.io, kTexts.listOpenFailed, kTexts.numberReadFailed) ||
            !next.found)
            return;
        record = next.found->record;
    }
}

std::optional<Found<CustomerRecord>> Find(Shell& shell, std::string_view typed, bool byNumber) {
    if (byNumber)
        return FindByNumber(shell, Store(shell), kTexts, ReadNumber(typed));
    return FindByName(shell, Store(shell), kTexts, typed,
                      [&shell](const CustomerRecord& record) { return OfferMatch(shell, record); });
}

std::vector<std::string> DayChoices(bool withNone) {
    std::vector<std::string> days;
    for (int day = 1; day <= 31; ++day)
        days.push_back(std::to_string(day));
    if (withNone)
        days.push_back("0");
    return days;
}

std::vector<std::string> MonthChoices(bool withNone) {
    std::vector<std::string> months(kMonths.begin(), kMonths.end());
    if (withNone)
        months.push_back("0");
    return months;
}

std::vector<std::string> YearChoices(int currentYear) {
    std::vector<std::string> years;
    for (int year = kFirstCreationYear; year <= currentYear; ++year)
        years.push_back(std::to_string(year));
    return years;
}

int IndexIn(int value, int first, std::size_t count) {
    return value >= first && value < first + static_cast<int>(count) ? value - first : -1;
}

std::string CreationDateText(const Form& form) {
    const int day = form.Field("Day").selected;
    const int month = form.Field("Month").selected;
    const FormField& years = form.Field("Year");
    const int year = years.selected;
    if (day < 0 || day >= 31 || month < 0 || month >= 12 || year < 0 ||
        year >= static_cast<int>(years.choices.size()))
        return "";
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%s", day + 1, month + 1,
                  years.choices[static_cast<std::size_t>(year)].c_str());
    return text;
}

// The day, month and year lists of the creation date: today's date for a new customer, otherwise
// the stored one.
void AddCreationDate(Form& form, const CustomerRecord& record, bool newCustomer,
                     const LocalTime& today) {
    int day = -1;
    int month = -1;
    int year = -1;
    if (newCustomer) {
        day = today.day - 1;
        month = today.month - 1;
        year = today.year - kFirstCreationYear;
    } else if (const std::string stored = record.Text(customer::CreationDate);
               stored.size() >= 10) {
        day = std::atoi(stored.substr(0, 2).c_str()) - 1;
        month = std::atoi(stored.substr(3, 2).c_str()) - 1;
        year = std::atoi(stored.substr(6).c_str()) - kFirstCreationYear;
    }
    const auto days = DayChoices(newCustomer);
    const auto months = MonthChoices(newCustomer);
    const auto years = YearChoices(today.year);
    form.fields.push_back(FormField::ChoiceList("Day", "Creation date", days, IndexIn(day, 0, 31)));
    FormField monthList = FormField::ChoiceList("Month", "", months, IndexIn(month, 0, 12));
    monthList.besidePrevious = true;
    form.fields.push_back(std::move(monthList));
    form.fields.push_back(FormField::ChoiceList("Year", "", years, IndexIn(year, 0, years.size())));
}

// The entry dialog: blank with today's date and the Next button for a new customer, otherwise
// filled from `record`.
Form CustomerDialog(const CustomerRecord& record, bool newCustomer, const LocalTime& today) {
    Form form;
    form.name = "DIALOG3";
    form.title = newCustomer ? "NEW CUSTOMER" : "Amend customer";
    form.fields.push_back(FormField::TextBox(
        "Number", "Number", newCustomer ? "" : NumberText(record.Number()), kNumberFieldMaxChars));
    form.fields.back().required = true;
    for (const CustomerField& spec : kFields) {
        if (spec.field.offset == customer::CreationDate.offset)
            AddCreationDate(form, record, newCustomer, today);
        if (spec.maxChars == 0)
            continue;
        FormField field =
            FormField::TextBox(std::string(spec.label), std::string(spec.label),
                               newCustomer ? "" : record.Text(spec.field), spec.maxChars);
        field.upperCase = (spec.shown & kUpper) != 0;
        field.besidePrevious = (spec.shown & kBeside) != 0;
        field.required = (spec.shown & kRequired) != 0;
        if (spec.shown & kContact)
            field.group = kContactGroup;
        else if (spec.shown & kLink)
            field.group = kLinkGroup;
        form.fields.push_back(std::move(field));
    }
    // Under the link-exchange frame.
    form.fields.push_back(FormField::NoteText(std::string(kLinkExchangeHelp)));
    form.buttons.push_back({"OK", kFormAccepted, true, {}});
    if (newCustomer)
        form.buttons.push_back({"&Next", kFormNext, false, {}});
    form.buttons.push_back({"Cancel", kFormCancelled, false, {}});
    form.focusField = "Number";
    return form;
}

std::int64_t NumberTyped(const Form& form) {
    return ReadNumber(form.Field("Number").text);
}

// Copies the dialog into `record`: texts (bytes after each terminator stay), number, creation
// date and the Updated date of `today`.
void StoreCustomerDialog(const Form& form, CustomerRecord& record, const LocalTime& today) {
    record.SetNumber(NumberTyped(form));
    for (const CustomerField& spec : kFields)
        if (spec.maxChars > 0)
            record.SetText(spec.field, form.Field(spec.label).text);
    record.SetText(customer::CreationDate, CreationDateText(form));
    record.SetText(customer::Updated, DateStamp(today));
}

void LogCounts(Shell& shell, bool always) {
    const RecordCounts counts = Store(shell).Counts();
    char line[96];
    if (counts.deleted == 0 && !always)
        std::snprintf(line, sizeof line, "Customer records: %" PRId64, counts.slotCount);
    else
        std::snprintf(line, sizeof line, "Customer records: %" PRId64 " (%" PRId64 " deleted)",
                      counts.slotCount, counts.deleted);
    shell.log.AppendLine(line);
}

// Asks again, titled "Amend customer" and without Next, until the number and the company are
// acceptable; false when the user cancels.
bool ValidateNewCustomer(Shell& shell, Form& form, int& result) {
    for (;;) {
        std::string_view problem;
        if (!NumberInRange(NumberTyped(form)))
            problem = "Number outside range.";
        else if (form.Field("Company").text.size() < 2)
            problem = "The Company must have at least two characters.";
        else
            return true;
        shell.desktop.ShowMessage(problem, "Problem");
        form.title = "Amend customer";
        std::erase_if(form.buttons, [](const FormButton& b) { return b.result == kFormNext; });
        result = ShowForm(shell.desktop, form);
        if (result == kFormCancelled)
            return false;
    }
}

} // namespace

std::optional<Found<CustomerRecord>> FindForChange(Shell& shell, std::string_view typed) {
    return Find(shell, typed, ReadNumber(typed) >= 1);
}

bool TellRewrite(Shell& shell, RecordChange change) {
    return TellChange(shell, change, kTexts.rewriteOpenFailed, kTexts.rewriteWriteFailed);
}

} // namespace korvane::customers

namespace korvane {

void CustomerDisplayCommand(Shell& shell) {
    const auto typed = TitledPromptBox(shell.desktop, "Find customer", customers::kPromptLabel);
    if (!typed)
        return;
    const auto found = customers::Find(shell, *typed, NumberInRange(ReadNumber(*typed)));
    if (found)
        customers::ShowCustomers(shell, found->record);
}

void CustomerListCommand(Shell& shell) {
    const auto typed = PromptBox(shell.desktop, "List from number:", "1");
    if (!typed)
        return;
    ListRecords(shell, shell.records.customers, customers::kTexts, "Customer list",
                ReadNumber(*typed), [](const CustomerRecord& record) {
                    return record.Text(customer::Company) + "  " + record.Text(customer::Road);
                });
}

void CustomerAddCommand(Shell& shell) {
    CustomerStore& store = shell.records.customers;
    for (;;) {
        const LocalTime today = shell.clock.Now();
        std::int64_t base = 0;
        if (__builtin_add_overflow(shell.settings.Get(field::CustomerNumberBase), 1, &base) ||
            base < 1) {
            shell.settings.Set(field::CustomerNumberBase, 0);
            base = 1;
        }
        Form form = customers::CustomerDialog(CustomerRecord{}, true, today);
        form.Field("Number").text = NumberText(store.SuggestNumber(base));
        int result = ShowForm(shell.desktop, form);
        if (result == kFormCancelled || !customers::ValidateNewCustomer(shell, form, result))
            return;

        CustomerRecord image; // a new customer starts from zero bytes
        customers::StoreCustomerDialog(form, image, today);
        image.SetText(customer::Updated, "NEW");
        if (store.NumberInUse(image.Number())) {
            shell.desktop.ShowMessage("Number in use.", "Problem");
            return;
        }
        if (shell.desktop.ShowMessage("Store record?", "New customer", MessageButtons::OkCancel) !=
            MessageAnswer::Ok)
            return;
        if (!TellChange(shell, store.Add(image), customers::kTexts.addOpenFailed,
                        customers::kTexts.addWriteFailed))
            return;
        shell.log.AppendHighlighted("New customer: " + NumberText(image.Number()) + " " +
                                    image.Text(customer::Company));
        customers::LogCounts(shell, false);
        shell.log.AppendLine("  ");
        shell.settings.Set(field::CustomersAdded, shell.settings.Get(field::CustomersAdded) + 1);
        if (result != kFormNext)
            return;
    }
}

void CustomerAmendCommand(Shell& shell) {
    const auto typed = TitledPromptBox(shell.desktop, "Amend customer", customers::kPromptLabel);
    if (!typed)
        return;
    const auto found = customers::FindForChange(shell, *typed);
    if (!found)
        return;
    const LocalTime today = shell.clock.Now();
    Form form = customers::CustomerDialog(found->record, false, today);
    if (ShowForm(shell.desktop, form) == kFormCancelled)
        return;
    if (customers::NumberTyped(form) != found->number) {
        shell.desktop.ShowMessage("Number cannot be changed", "Problem");
        return;
    }
    if (form.Field("Company").text.size() < 2) {
        shell.desktop.ShowMessage("The company must have at least two characters.", "Problem");
        return;
    }
    CustomerRecord image = found->record;
    customers::StoreCustomerDialog(form, image, today);
    // A record that could not be written is not logged as amended: the message said why.
    if (!customers::TellRewrite(shell, shell.records.customers.Rewrite(image, found->slot)))
        return;
    shell.log.AppendHighlighted("Customer " + NumberText(image.Number()) + " " +
                                image.Text(customer::Company) + " amended");
    shell.log.AppendLine("  ");
}

void CustomerDeleteCommand(Shell& shell) {
    const auto typed = TitledPromptBox(shell.desktop, "Delete customer", customers::kPromptLabel);
    if (!typed)
        return;
    const auto found = customers::FindForChange(shell, *typed);
    if (!found)
        return;
    const std::string company = found->record.Text(customer::Company);
    const std::string caption = NumberText(found->number) + " Company: " + company;
    if (shell.desktop.ShowMessage("Are you sure?", caption, MessageButtons::OkCancel) !=
        MessageAnswer::Ok)
        return;
    if (!TellChange(shell, shell.records.customers.Delete(*found),
                    customers::kTexts.deleteOpenFailed, customers::kTexts.deleteWriteFailed))
        return;
    shell.log.AppendHighlighted("Customer deleted: " + NumberText(found->number) + " " + company);
    shell.log.AppendLine("  ");
    customers::LogCounts(shell, true);
    shell.log.AppendLine("  ");
}

} // namespace korvane
