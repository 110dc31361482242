#include "app/tool_registry.h"

#include "databases/customer_report.h"
#include "databases/customers.h"
#include "databases/database_email.h"
#include "databases/link_exchange.h"
#include "databases/search_engines.h"
#include "databases/url_submission.h"
#include "file_utils/byte_viewer.h"
#include "file_utils/comparison_report.h"
#include "page_tools/links.h"
#include "page_tools/markup_validation.h"
#include "page_tools/page_check.h"
#include "page_tools/referrer.h"
#include "page_tools/server_header.h"
#include "page_tools/verify_file.h"
#include "page_tools/whois.h"
#include "shell/commands.h"
#include "shell/preferences.h"
#include "shell/shell.h"
#include "site_tools/connection_alert.h"
#include "site_tools/customer_site.h"
#include "site_tools/folder_runs.h"
#include "site_tools/monitoring.h"

namespace korvane {

namespace {

// The customer-site watches pick their customer through the customer database.
constexpr CustomerLookup kCustomerLookup{customers::FindForChange, customers::TellRewrite};

} // namespace

void RegisterTools(CommandDispatcher& dispatcher, Shell& shell) {
    dispatcher.Register(Command::Preferences, [&shell] { PreferencesCommand(shell); });
    dispatcher.Register(Command::EmailIdentity, [&shell] { EmailIdentityCommand(shell); });
    dispatcher.Register(Command::ServerPageHeader, [&shell] { ServerPageHeaderCommand(shell); });
    dispatcher.Register(Command::ServerPageHeaderIPv6,
                        [&shell] { ServerPageHeaderIPv6Command(shell); });
    dispatcher.Register(Command::HeaderCookies, [&shell] { HeaderCookiesCommand(shell); });
    dispatcher.Register(Command::CheckPage, [&shell] { CheckPageCommand(shell); });
    dispatcher.Register(Command::LinksAll, [&shell] { LinksCommand(shell, LinkMode::All); });
    dispatcher.Register(Command::LinksLocal, [&shell] { LinksCommand(shell, LinkMode::Local); });
    dispatcher.Register(Command::LinksExternal,
                        [&shell] { LinksCommand(shell, LinkMode::External); });
    dispatcher.Register(Command::BrokenLinks, [&shell] { LinksCommand(shell, LinkMode::Broken); });
    dispatcher.Register(Command::ReferrerVariance, [&shell] { ReferrerCommand(shell); });
    dispatcher.Register(Command::WhoisFirst,
                        [&shell] { WhoisCommand(shell, WhoisService::NetworkSolutions); });
    dispatcher.Register(Command::WhoisSecond,
                        [&shell] { WhoisCommand(shell, WhoisService::Icann); });
    dispatcher.Register(Command::MarkupValidation, [&shell] { MarkupValidationCommand(shell); });
    dispatcher.Register(Command::CustomerDisplay, [&shell] { CustomerDisplayCommand(shell); });
    dispatcher.Register(Command::CustomerList, [&shell] { CustomerListCommand(shell); });
    dispatcher.Register(Command::CustomerAdd, [&shell] { CustomerAddCommand(shell); });
    dispatcher.Register(Command::CustomerAmend, [&shell] { CustomerAmendCommand(shell); });
    dispatcher.Register(Command::CustomerDelete, [&shell] { CustomerDeleteCommand(shell); });
    dispatcher.Register(Command::CustomerReport, [&shell] { CustomerReportCommand(shell); });
    dispatcher.Register(Command::EngineDisplay, [&shell] { EngineDisplayCommand(shell); });
    dispatcher.Register(Command::EngineList, [&shell] { EngineListCommand(shell); });
    dispatcher.Register(Command::EngineAdd, [&shell] { EngineAddCommand(shell); });
    dispatcher.Register(Command::EngineAmend, [&shell] { EngineAmendCommand(shell); });
    dispatcher.Register(Command::EngineDelete, [&shell] { EngineDeleteCommand(shell); });
    dispatcher.Register(Command::ByteViewer, [&shell] { ByteViewerCommand(shell); });
    dispatcher.Register(Command::Md5Checksum, [&shell] { Md5ChecksumCommand(shell); });
    dispatcher.Register(Command::VisualComparison, [&shell] { VisualComparisonCommand(shell); });
    dispatcher.Register(Command::VerifyFolder, [&shell] { VerifyFolderCommand(shell); });
    dispatcher.Register(Command::CheckSite, [&shell] { CheckSiteCommand(shell); });
    dispatcher.Register(Command::VerifyFile, [&shell] { VerifyFileCommand(shell); });
    dispatcher.Register(Command::VerifyMultipleSites,
                        [&shell] { VerifyMultipleSitesCommand(shell); });
    dispatcher.Register(Command::CheckMultipleSites,
                        [&shell] { CheckMultipleSitesCommand(shell); });
    dispatcher.Register(Command::VerifyCustomerSite,
                        [&shell] { VerifyCustomerSiteCommand(shell, kCustomerLookup); });
    dispatcher.Register(Command::CheckCustomerSite,
                        [&shell] { CheckCustomerSiteCommand(shell, kCustomerLookup); });
    dispatcher.Register(Command::ConnectionDropAlert,
                        [&shell] { ConnectionDropAlertCommand(shell); });
    dispatcher.Register(Command::Mailmerge, [&shell] { MailmergeCommand(shell); });
    dispatcher.Register(Command::SubmitUrl, [&shell] { SubmitUrlCommand(shell); });
    dispatcher.Register(Command::LinkExchangeCheck, [&shell] { LinkExchangeCommand(shell); });
    dispatcher.Register(Command::DatabaseEmail, [&shell] { DatabaseEmailCommand(shell); });
}

} // namespace korvane
