#include "databases/customers.h"

#include "records/record_operations.h"
#include "shell/shared_dialogs.h"

#include <array>
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

constexpr std::string_view kPromptLabel = "Number / Company / fragment";
constexpr std::string_view kLinkExchangeHelp =
    "The Check option on the Link exchange menu may be used to verify the 'Link text' above is "
    "on the domain page.";
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct TextSpec {
    std::string_view id; // also the label
    TextField field;
    std::size_t maxChars;
    bool upperCase = false;
    bool beside = false; // laid out on the row of the field before it, to keep the form short
};

// The entry dialog's text fields in tab order, with what each may hold.
constexpr std::array<TextSpec, 15> kDialogTextsBeforeDate = {{
    {"Company", customer::Company, 39, true, true},
    {"Road", customer::Road, 29, true},
    {"Town", customer::Town, 29, true, true},
    {"State", customer::State, 19, true},
    {"Zip / Post", customer::Zip, 9, true, true},
    {"Title", customer::Title, 19},
    {"First name", customer::FirstName, 19, false, true},
    {"Last name", customer::LastName, 29},
    {"Email 1", customer::Email1, 39, false, true},
    {"Email 2", customer::Email2, 39},
    {"Telephone 1", customer::Telephone1, 19, false, true},
    {"Telephone 2", customer::Telephone2, 19},
    {"Host", customer::Host, 29, false, true},
    {"Host type", customer::HostType, 29},
    {"FTP server", customer::FtpServer, 29, false, true},
}};
constexpr std::array<TextSpec, 17> kDialogTextsAfterDate = {{
    {"Server 1", customer::Server(0), 199},
    {"Local folder 1", customer::LocalFolder(0), 199, false, true},
    {"Server 2", customer::Server(1), 199},
    {"Local folder 2", customer::LocalFolder(1), 199, false, true},
    {"Server 3", customer::Server(2), 199},
    {"Local folder 3", customer::LocalFolder(2), 199, false, true},
    {"Server 4", customer::Server(3), 199},
    {"Local folder 4", customer::LocalFolder(3), 199, false, true},
    {"FTP User name", customer::FtpUserName, 29},
    {"FTP Password", customer::FtpPassword, 29, false, true},
    {"Admin contact", customer::AdminContact, 29},
    {"Domain expiry", customer::DomainExpiry, 29, false, true},
    {"DNS 1", customer::Dns1, 39},
    {"DNS 2", customer::Dns2, 39, false, true},
    {"Domain", customer::LinkDomain, 199},
    {"Page", customer::LinkPage, 199, false, true},
    {"Link text", customer::LinkText, 199},
}};

struct ShownField {
    std::string_view label;
    TextField field;
};

constexpr std::array<ShownField, 34> kViewFields = {{
    {"Company", customer::Company},
    {"Road", customer::Road},
    {"Town", customer::Town},
    {"State", customer::State},
    {"Zip / Post", customer::Zip},
    {"Title", customer::Title},
    {"First name", customer::FirstName},
    {"Last name", customer::LastName},
    {"Telephone 1", customer::Telephone1},
    {"Telephone 2", customer::Telephone2},
    {"Email 1", customer::Email1},
    {"Email 2", customer::Email2},
    {"Host", customer::Host},
    {"Host type", customer::HostType},
    {"Ftp server", customer::FtpServer},
    {"Creation date", customer::CreationDate},
    {"Updated", customer::Updated},
    {"Server 1", customer::Server(0)},
    {"Local folder 1", customer::LocalFolder(0)},
    {"Server 2", customer::Server(1)},
    {"Local folder 2", customer::LocalFolder(1)},
    {"Server 3", customer::Server(2)},
    {"Local folder 3", customer::LocalFolder(2)},
    {"Server 4", customer::Server(3)},
    {"Local folder 4", customer::LocalFolder(3)},
    {"Ftp user name", customer::FtpUserName},
    {"Ftp password", customer::FtpPassword},
    {"Admin contact", customer::AdminContact},
    {"Domain expiry", customer::DomainExpiry},
    {"DNS 1", customer::Dns1},
    {"DNS 2", customer::Dns2},
    {"Domain", customer::LinkDomain},
    {"Page", customer::LinkPage},
    {"Link text", customer::LinkText},
}};

constexpr std::array<ShownField, 16> kMatchFields = {{
    {"Customer", customer::Company},
    {"Road", customer::Road},
    {"Town", customer::Town},
    {"State", customer::State},
    {"Zip / Post", customer::Zip},
    {"Title", customer::Title},
    {"First name", customer::FirstName},
    {"Last name", customer::LastName},
    {"Email 1", customer::Email1},
    {"Email 2", customer::Email2},
    {"Telephone 1", customer::Telephone1},
    {"Telephone 2", customer::Telephone2},
    {"Server 1", customer::Server(0)},
    {"Local folder 1", customer::LocalFolder(0)},
    {"Server 2", customer::Server(1)},
    {"Local folder 2", customer::LocalFolder(1)},
}};

CustomerStore& Store(Shell& shell) {
    return shell.records.customers;
}

FormField TextFor(const TextSpec& spec, const CustomerRecord& record) {
    FormField field = FormField::TextBox(std::string(spec.id), std::string(spec.id),
                                         record.Text(spec.field), spec.maxChars);
    field.upperCase = spec.upperCase;
    field.besidePrevious = spec.beside;
    return field;
}

// A read-only view as a form.
template <std::size_t N>
Form ViewForm(std::string name, std::string title, const CustomerRecord& record,
              const std::array<ShownField, N>& shown) {
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
    Form form = ViewForm("DIALOG4", "CUSTOMER", record, kViewFields);
    form.buttons = {{"OK", kFormAccepted, true, {}}, {"Next", kFormNext, false, {}}};
    return form;
}

Form CustomerMatchDialog(const CustomerRecord& record) {
    Form form = ViewForm("DIALOG5", "FIND CUSTOMER", record, kMatchFields);
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
        std::int64_t slot = 0;
        {
            CustomerStore& store = Store(shell);
            std::scoped_lock lock(store.indexMutex);
            const std::size_t p = LocateNumber(store.index, std::max<std::int64_t>(shown + 1, 1));
            if (p == store.index.Size())
                return;
            slot = store.index.entries[p].slot;
        }
        auto next =
            ReadFound(shell, Store(shell), slot, kTexts.listOpenFailed, kTexts.numberReadFailed);
        if (!next)
            return;
        record = next->record;
    }
}

std::optional<Found<CustomerRecord>> Find(Shell& shell, std::string_view typed, bool byNumber) {
    if (byNumber)
        return LookupNumber(shell, Store(shell), kTexts, ReadNumber(typed));
    return SearchByName<CustomerRecord>(
        shell, Store(shell), kTexts, typed,
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

std::int64_t NumberTyped(const Form& form) {
    return ReadNumber(form.Field("Number").text);
}

void LogCounts(Shell& shell, bool always) {
    const RecordCounts counts = CountsOf(Store(shell));
    char line[96];
    if (counts.deleted == 0 && !always)
        std::snprintf(line, sizeof line, "Customer records: %" PRId64, counts.slots);
    else
        std::snprintf(line, sizeof line, "Customer records: %" PRId64 " (%" PRId64 " deleted)",
                      counts.slots, counts.deleted);
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

Form CustomerDialog(const CustomerRecord& record, bool newCustomer, const LocalTime& today) {
    Form form;
    form.name = "DIALOG3";
    form.title = newCustomer ? "NEW CUSTOMER" : "Amend customer";
    form.fields.push_back(FormField::TextBox(
        "Number", "Number", newCustomer ? "" : NumberText(record.Number()), kNumberFieldMaxChars));
    for (const TextSpec& spec : kDialogTextsBeforeDate)
        form.fields.push_back(newCustomer ? TextFor(spec, CustomerRecord{})
                                          : TextFor(spec, record));

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

    for (const TextSpec& spec : kDialogTextsAfterDate)
        form.fields.push_back(newCustomer ? TextFor(spec, CustomerRecord{})
                                          : TextFor(spec, record));
    form.fields.push_back(FormField::NoteText(std::string(kLinkExchangeHelp)));
    form.buttons.push_back({"OK", kFormAccepted, true, {}});
    if (newCustomer)
        form.buttons.push_back({"&Next", kFormNext, false, {}});
    form.buttons.push_back({"Cancel", kFormCancelled, false, {}});
    form.focusField = "Number";
    return form;
}

void StoreCustomerDialog(const Form& form, CustomerRecord& record, const LocalTime& today) {
    record.SetNumber(NumberTyped(form));
    for (const TextSpec& spec : kDialogTextsBeforeDate)
        record.SetText(spec.field, form.Field(spec.id).text);
    for (const TextSpec& spec : kDialogTextsAfterDate)
        record.SetText(spec.field, form.Field(spec.id).text);
    record.SetText(customer::CreationDate, CreationDateText(form));
    record.SetText(customer::Updated, DateStamp(today));
}

std::int64_t FindRecord(Shell& shell, std::string_view typed, bool byNumber, bool showView) {
    const auto found = Find(shell, typed, byNumber);
    if (!found)
        return 0;
    if (showView)
        ShowCustomers(shell, found->record);
    return found->number;
}

bool RewriteRecord(Shell& shell) {
    CustomerStore& store = Store(shell);
    CustomerRecord image;
    std::int64_t slot = 0;
    {
        std::scoped_lock lock(store.bufferMutex);
        image = store.buffer;
        slot = store.currentSlot;
    }
    return RewriteStored(shell, store, kTexts, image, slot);
}

} // namespace korvane::customers

namespace korvane {

using customers::CustomerDialog;
using customers::StoreCustomerDialog;

void CustomerDisplayCommand(Shell& shell) {
    const auto typed = TitledPromptBox(shell.desktop, "Find customer", customers::kPromptLabel);
    if (!typed)
        return;
    const bool byNumber = NumberInRange(ReadNumber(*typed));
    customers::FindRecord(shell, *typed, byNumber, true);
}

void CustomerListCommand(Shell& shell) {
    const auto typed = PromptBox(shell.desktop, "List from number:", "1");
    if (!typed)
        return;
    ListRecords<CustomerRecord>(
        shell, shell.records.customers, customers::kTexts, ReadNumber(*typed),
        [](const CustomerRecord& record) {
            return record.Text(customer::Company) + "  " + record.Text(customer::Road);
        },
        [&shell](const std::vector<ListRow>& rows, bool next) {
            return ShowRecordList(shell, "Customer list", rows, next);
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
        std::int64_t suggested = 0;
        {
            std::scoped_lock lock(store.indexMutex);
            suggested = SuggestNumber(store.index, base);
        }
        Form form = CustomerDialog(CustomerRecord{}, true, today);
        form.Field("Number").text = NumberText(suggested);
        int result = ShowForm(shell.desktop, form);
        if (result == kFormCancelled || !customers::ValidateNewCustomer(shell, form, result))
            return;

        // A new customer is built on the buffer as it stands: bytes after each text stay.
        CustomerRecord image;
        {
            std::scoped_lock lock(store.bufferMutex);
            image = store.buffer;
        }
        StoreCustomerDialog(form, image, today);
        image.SetText(customer::Updated, "NEW");
        if (NumberInUse(store, image.Number())) {
            shell.desktop.ShowMessage("Number in use.", "Problem");
            return;
        }
        if (shell.desktop.ShowMessage("Store record?", "New customer", MessageButtons::OkCancel) !=
            MessageAnswer::Ok)
            return;
        if (AddStored(shell, store, customers::kTexts, image) != AddOutcome::Stored)
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
    auto found = customers::Find(shell, *typed, ReadNumber(*typed) >= 1);
    if (!found)
        return;
    const LocalTime today = shell.clock.Now();
    Form form = CustomerDialog(found->record, false, today);
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
    StoreCustomerDialog(form, image, today);
    // A record that could not be written is not logged as amended: the message said why.
    if (!RewriteStored(shell, shell.records.customers, customers::kTexts, image, found->slot))
        return;
    shell.log.AppendHighlighted("Customer " + NumberText(image.Number()) + " " +
                                image.Text(customer::Company) + " amended");
    shell.log.AppendLine("  ");
}

void CustomerDeleteCommand(Shell& shell) {
    const auto typed = TitledPromptBox(shell.desktop, "Delete customer", customers::kPromptLabel);
    if (!typed)
        return;
    const auto found = customers::Find(shell, *typed, ReadNumber(*typed) > 0);
    if (!found)
        return;
    const std::string company = found->record.Text(customer::Company);
    const std::string caption = NumberText(found->number) + " Company: " + company;
    if (shell.desktop.ShowMessage("Are you sure?", caption, MessageButtons::OkCancel) !=
        MessageAnswer::Ok)
        return;
    if (!DeleteStored(shell, shell.records.customers, customers::kTexts, *found))
        return;
    shell.log.AppendHighlighted("Customer deleted: " + NumberText(found->number) + " " + company);
    shell.log.AppendLine("  ");
    customers::LogCounts(shell, true);
    shell.log.AppendLine("  ");
}

} // namespace korvane
