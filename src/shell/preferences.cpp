#include "shell/preferences.h"

#include "shell/shared_dialogs.h"
#include "shell/shell.h"

#include <algorithm>
#include <iterator>

namespace korvane {

namespace {

std::vector<std::string> ToStrings(const auto& list) {
    return {list.begin(), list.end()};
}

// A stored choice outside the list shows with nothing selected.
int ChoiceIndex(std::int32_t stored, std::size_t size) {
    return stored >= 0 && static_cast<std::size_t>(stored) < size ? stored : -1;
}

std::string OrDefault(const std::string& text, std::string_view fallback) {
    return text.empty() ? std::string(fallback) : text;
}

} // namespace

Form PreferencesForm(const SettingsBlock& settings, const SettingsFile& file) {
    Form form;
    form.name = "Preferences";
    form.title = "Preferences";
    form.fields.push_back(FormField::ChoiceList(
        "IdentifyAs", "Identify as", ToStrings(kIdentifyAsChoices),
        ChoiceIndex(settings.Get(field::IdentifyAsChoice), kIdentifyAsChoices.size())));
    FormField agent = FormField::TextBox("OtherAgent", "Other", OtherAgentText(settings),
                                         kPreferenceTextMaxChars);
    agent.besidePrevious = true;
    form.fields.push_back(std::move(agent));
    form.fields.push_back(FormField::ChoiceList(
        "Referrer", "Referrer", ToStrings(kReferrerChoices),
        ChoiceIndex(settings.Get(field::ReferrerChoice), kReferrerChoices.size())));
    FormField referrer = FormField::TextBox("OtherReferrer", "Other", OtherReferrerText(settings),
                                            kPreferenceTextMaxChars);
    referrer.besidePrevious = true;
    form.fields.push_back(std::move(referrer));
    form.fields.push_back(FormField::CheckBox("Verbose", "Verbose operation detail display",
                                              settings.IsOn(field::DetailFlag)));
    form.fields.push_back(
        FormField::CheckBox("Beep", "Beep on alert", settings.IsOn(field::BeepFlag)));
    form.fields.push_back(FormField::TextBox(
        "SmtpServer", "SMTP server", OrDefault(settings.Get(field::SmtpServer), kSmtpPlaceholder),
        kPreferenceTextMaxChars));
    form.fields.push_back(FormField::NoteText(
        "This server sends the alert e-mails. Your e-mail program's account settings name it "
        "as the outgoing (SMTP) server."));
    std::vector<FormField> web;
    web.push_back(FormField::CheckBox("AcceptUntrusted", "Accept untrusted certificates",
                                      AcceptUntrustedCertificates(file)));
    web.push_back(FormField::TextBox("CertificateWarningDays",
                                     "Warn when a certificate expires within",
                                     std::to_string(CertificateWarningDays(file)), 4));
    FormField days = FormField::NoteText("days");
    days.besidePrevious = true;
    web.push_back(std::move(days));
    web.push_back(
        FormField::CheckBox("FollowRedirects", "Follow redirects", FollowRedirects(file)));
    for (FormField& field : web) {
        field.group = "Web";
        form.fields.push_back(std::move(field));
    }
    FormField history = FormField::TextBox("HistoryDays", "Keep the watch history for",
                                           std::to_string(WatchHistoryDays(file)), 5);
    history.group = "Watches";
    form.fields.push_back(std::move(history));
    FormField historyDays = FormField::NoteText("days");
    historyDays.besidePrevious = true;
    historyDays.group = "Watches";
    form.fields.push_back(std::move(historyDays));
    form.buttons = Form::OkCancel();
    form.focusField = "SmtpServer";
    return form;
}

void StorePreferences(SettingsBlock& settings, SettingsFile& file, const Form& form) {
    settings.Set(field::SmtpServer, form.Field("SmtpServer").text);
    settings.SetOn(field::DetailFlag, form.Field("Verbose").checked);
    settings.SetOn(field::BeepFlag, form.Field("Beep").checked);
    if (const int agent = form.Field("IdentifyAs").selected; agent >= 0)
        settings.Set(field::IdentifyAsChoice, agent);
    settings.Set(field::OtherAgent, OrDefault(form.Field("OtherAgent").text, kDefaultOtherAgent));
    if (const int referrer = form.Field("Referrer").selected; referrer >= 0)
        settings.Set(field::ReferrerChoice, referrer);
    settings.Set(field::OtherReferrer, OrDefault(form.Field("OtherReferrer").text, kMsnHomePage));
    SetAcceptUntrustedCertificates(file, form.Field("AcceptUntrusted").checked);
    if (const auto days = ParseNumberInRange(form.Field("CertificateWarningDays").text, 0,
                                             kMaxCertificateWarningDays))
        SetCertificateWarningDays(file, *days);
    SetFollowRedirects(file, form.Field("FollowRedirects").checked);
    // Written only when changed, so a korvane.cfg that never had it stays as it was.
    if (const auto days =
            ParseNumberInRange(form.Field("HistoryDays").text, 1, kMaxWatchHistoryDays);
        days && *days != WatchHistoryDays(file))
        SetWatchHistoryDays(file, *days);
}

void PreferencesCommand(Shell& shell) {
    Form form = PreferencesForm(shell.settings, shell.settingsFile);
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return;
    StorePreferences(shell.settings, shell.settingsFile, form);
    if (!shell.settingsFile.Save())
        shell.desktop.ShowMessage("Unable to create korvane.cfg", "Problem");
}

Form EmailIdentityForm(const SettingsBlock& settings, const SettingsFile& file) {
    Form form;
    form.name = "Email identity";
    form.title = "Email identity";
    form.fields.push_back(FormField::TextBox("FromName", "From name", settings.Get(field::FromName),
                                             kPreferenceTextMaxChars));
    form.fields.push_back(FormField::TextBox("FromAddress", "From email address",
                                             settings.Get(field::FromAddress),
                                             kPreferenceTextMaxChars));
    form.fields.push_back(FormField::NoteText(
        "The outgoing SMTP mail server (Preferences) may require these match the ISP account."));
    const MailAccount account = MailAccountOf(file);
    std::vector<FormField> login;
    login.push_back(FormField::TextBox(
        "Port", "Port", std::to_string(account.port != 0 ? account.port : kShownMailPort), 5));
    FormField ports = FormField::NoteText("25, 587 or 465");
    ports.besidePrevious = true;
    login.push_back(std::move(ports));
    login.push_back(FormField::ChoiceList("Security", "Security", ToStrings(kMailSecurityChoices),
                                          static_cast<int>(account.security)));
    login.push_back(FormField::TextBox("User", "User name", account.user, kPreferenceTextMaxChars));
    login.push_back(FormField::NoteText(
        "Leave User name empty for a server that needs no login. The password is asked for "
        "once and kept in the desktop's password store, never in a file."));
    for (FormField& field : login) {
        field.group = "Outgoing server";
        form.fields.push_back(std::move(field));
    }
    form.buttons = Form::OkCancel();
    form.focusField = "FromName";
    return form;
}

void StoreEmailIdentity(SettingsBlock& settings, SettingsFile& file, const Form& form) {
    settings.Set(field::FromName, form.Field("FromName").text);
    settings.Set(field::FromAddress, form.Field("FromAddress").text);
    MailAccount account = MailAccountOf(file);
    if (const auto port = ParseNumberInRange(form.Field("Port").text, 1, 65535))
        account.port = static_cast<std::uint16_t>(*port);
    if (const int security = form.Field("Security").selected; security >= 0)
        account.security = static_cast<MailSecurity>(security);
    account.user = form.Field("User").text;
    SetMailAccount(file, account);
}

bool EmailIdentityCommand(Shell& shell) {
    Form form = EmailIdentityForm(shell.settings, shell.settingsFile);
    const std::string storedUser = MailAccountOf(shell.settingsFile).user;
    std::vector<FormButton> buttons = {
        FormButton{"Forget password", 2, false, [&shell, storedUser](Form& shown) {
                       const std::string server = shell.settings.Get(field::SmtpServer);
                       for (const std::string& user : {storedUser, shown.Field("User").text})
                           shell.desktop.ForgetSecret(MailSecretKey(server, user));
                   }}};
    std::move(form.buttons.begin(), form.buttons.end(), std::back_inserter(buttons));
    form.buttons = std::move(buttons);
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return false;
    StoreEmailIdentity(shell.settings, shell.settingsFile, form);
    if (!shell.settingsFile.Save())
        shell.desktop.ShowMessage("Unable to create korvane.cfg", "Problem");
    return true;
}

} // namespace korvane
