#include "shell/shared_dialogs.h"

#include "databases/url_submission.h"
#include "page_tools/markup_validation.h"
#include "page_tools/referrer.h"
#include "page_tools/server_header.h"
#include "page_tools/whois.h"
#include "support/scripted_desktop.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace korvane {
namespace {

using test::ScriptedDesktop;
using test::ShownMessage;

TEST(PromptBox, TheTitledFormReturnsAtMost39CapitalsAndStartsEmpty) {
    ScriptedDesktop desktop;
    desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("EDIT2BOX").text, "");
        form.Field("EDIT2BOX").text = "acme widgets ltd, " + std::string(32, 'z');
        return kFormAccepted;
    });
    const auto typed = TitledPromptBox(desktop, "Find customer", "Number / Company / fragment");
    ASSERT_TRUE(typed);
    EXPECT_EQ(*typed, "ACME WIDGETS LTD, ZZZZZZZZZZZZZZZZZZZZZ");
    EXPECT_EQ(typed->size(), 39u);
    const Form shown = desktop.Forms().at(0);
    EXPECT_EQ(shown.title, "Find customer");
    EXPECT_EQ(shown.Field("EDIT2BOX").label, "Number / Company / fragment");
}

TEST(PromptBox, TheUntitledFormKeeps34CharactersAndCancelGivesNothing) {
    ScriptedDesktop desktop;
    desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("EDITBOX").text, "example.com");
        form.Field("EDITBOX").text = std::string(40, 'd');
        return kFormAccepted;
    });
    desktop.AnswerForm(kFormCancelled);
    EXPECT_EQ(PromptBox(desktop, "Domain", "example.com"), std::string(34, 'd'));
    EXPECT_EQ(PromptBox(desktop, "Domain", "example.com"), std::nullopt);
    const Form shown = desktop.Forms().at(0);
    EXPECT_EQ(shown.title, "");
    EXPECT_EQ(shown.frameLabel, "Domain");
}

// Every guarded tool, one table: while its own flag is set a second start is refused with the
// message and no dialog; any other flag leaves it free to ask for its dialog.
TEST(BusyGuard, EachToolIsRefusedOnlyWhileItsOwnFlagIsSet) {
    using B = BusyFlag;
    const std::vector<std::pair<B, void (*)(Shell&)>> tools = {
        {B::HeaderAndSubmit, [](Shell& s) { ServerPageHeaderCommand(s); }},
        {B::HeaderAndSubmit, [](Shell& s) { SubmitUrlCommand(s); }},
        {B::HeaderIPv6, [](Shell& s) { ServerPageHeaderIPv6Command(s); }},
        {B::HeaderCookies, [](Shell& s) { HeaderCookiesCommand(s); }},
        {B::Referrer, [](Shell& s) { ReferrerCommand(s); }},
        {B::MarkupValidation, [](Shell& s) { MarkupValidationCommand(s); }},
        {B::Whois, [](Shell& s) { WhoisCommand(s, WhoisService::Icann); }},
    };
    for (std::size_t i = 0; i < tools.size(); ++i) {
        const auto& [own, command] = tools[i];
        for (const B set : {B::HeaderAndSubmit, B::HeaderIPv6, B::HeaderCookies, B::Referrer,
                            B::MarkupValidation, B::Whois}) {
            test::TestShell t;
            t.busy.Set(set);
            t.desktop.AnswerForm(kFormCancelled);
            command(t.shell);
            t.threads.WaitIdle();
            const bool refused = set == own;
            const std::vector<ShownMessage> told{{"In progress", "Please wait"}};
            EXPECT_EQ(t.desktop.Messages(), refused ? told : std::vector<ShownMessage>())
                << "tool " << i << ", flag " << static_cast<int>(set);
            EXPECT_EQ(t.desktop.Forms().size(), refused ? 0u : 1u)
                << "tool " << i << ", flag " << static_cast<int>(set);
        }
    }
}

TEST(BusyGuard, TheWorkerClearsItsFlagOnEveryWayOut) {
    BusyFlags flags;
    flags.Set(BusyFlag::Referrer);
    try {
        BusyRelease release(flags, BusyFlag::Referrer);
        throw std::runtime_error("worker failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(flags.IsSet(BusyFlag::Referrer));

    flags.Set(BusyFlag::Whois);
    flags.Set(BusyFlag::HeaderIPv6);
    { BusyRelease release(flags, BusyFlag::Whois); }
    EXPECT_FALSE(flags.IsSet(BusyFlag::Whois));
    EXPECT_TRUE(flags.IsSet(BusyFlag::HeaderIPv6));
}

class RecordingTextBox final : public ReportTextBox {
  public:
    void Append(std::string_view text) override { texts.emplace_back(text); }
    std::vector<std::string> texts;
};

TEST(ReportAppend, FormatsAndCutsTheTextAt1024Characters) {
    RecordingTextBox box;
    ReportAppend(box, "Verify: %s %d\r\n", "index.html", 200);
    ReportAppend(box, "%s", std::string(1500, 'r').c_str());
    ASSERT_EQ(box.texts.size(), 2u);
    EXPECT_EQ(box.texts[0], "Verify: index.html 200\r\n");
    EXPECT_EQ(box.texts[1], std::string(1024, 'r'));
}

TEST(FilePickers, OfferTheTextTypeListUntilItIsEmptiedAndRememberTheName) {
    ScriptedDesktop desktop;
    FilePickerState pickers;
    desktop.AnswerPicker("/home/user/letter.txt");
    desktop.AnswerPicker(std::nullopt);
    EXPECT_EQ(pickers.PickOpen(desktop), "/home/user/letter.txt");
    pickers.EmptyTypeList();
    EXPECT_EQ(pickers.PickSave(desktop), std::nullopt);
    EXPECT_EQ(pickers.FileName(), "/home/user/letter.txt");

    const auto requests = desktop.PickerRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].types.size(), 2u);
    EXPECT_EQ(requests[0].mode, FilePickerRequest::Mode::Open);
    EXPECT_TRUE(requests[1].types.empty());
    EXPECT_EQ(requests[1].mode, FilePickerRequest::Mode::Save);
    EXPECT_EQ(requests[1].initialPath, "/home/user/letter.txt");
}

} // namespace
} // namespace korvane
