// The statistics and form code windows against the real server script on
// SQLite: codes redeemed by posting the generated form the way a customer's
// browser does, then listed by the statistics window.
#include "coupons/FormCode.h"
#include "http/URI.h"
#include "tests/e2e/E2EBackends.h"
#include "tests/support/CouponValues.h"
#include "windows/FStatistics.h"

#include <QApplication>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <regex>

using namespace quillory;
using quillory::test::CouponOf;
using namespace quillory::e2e;

namespace {

const std::string kOrderPage = "http://shop.example/order.php?item=7";

struct TFormInput {
    std::string Type, Name, Value;
};

struct TParsedForm {
    std::string Method, Action;
    std::vector<TFormInput> Inputs;
};

std::string Attribute(const std::string& tag, const std::string& name) {
    const std::regex re("\\b" + name + "=\"([^\"]*)\"", std::regex::icase);
    std::smatch m;
    return std::regex_search(tag, m, re) ? m[1].str() : std::string();
}

std::string HtmlUnescape(std::string text) {
    for (const auto& [entity, c] : std::vector<std::pair<std::string, std::string>>{
             {"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}}) {
        for (std::size_t at = text.find(entity); at != std::string::npos;
             at = text.find(entity, at + c.size()))
            text.replace(at, entity.size(), c);
    }
    return text;
}

// What a browser reads from the form: its method, its address and its inputs.
TParsedForm ParseForm(const std::string& html) {
    TParsedForm form;
    std::smatch m;
    const std::regex formTag("<FORM[^>]*>", std::regex::icase);
    if (std::regex_search(html, m, formTag)) {
        form.Method = Attribute(m[0].str(), "METHOD");
        form.Action = HtmlUnescape(Attribute(m[0].str(), "ACTION"));
    }
    const std::regex inputTag("<input[^>]*>", std::regex::icase);
    for (auto it = std::sregex_iterator(html.begin(), html.end(), inputTag);
         it != std::sregex_iterator(); ++it) {
        const std::string tag = it->str();
        form.Inputs.push_back({Attribute(tag, "type"), HtmlUnescape(Attribute(tag, "name")),
                               HtmlUnescape(Attribute(tag, "value"))});
    }
    return form;
}

class CouponWindowsE2E : public ::testing::Test {
protected:
    void SetUp() override {
        backend = &Backend("SQLite");
        site = backend->Php.SiteURL();
        service = std::make_unique<TCouponService>(http, [this] { return site; });
        ASSERT_TRUE(service->DeleteCoupons("all")) << service->LastReply() << service->LastError();
    }

    void Add(const std::string& code) {
        ASSERT_EQ(service->AddCoupon(CouponOf("", code, "Coupon " + code, "0", "2", "30",
                                              "2099-12-31", kOrderPage, "", ServerDate())),
                  TCouponResult::Done)
            << service->LastReply() << service->LastError();
    }

    // Types `code` into the generated form and submits it as a browser does:
    // every named input, URL-encoded, POSTed to the form's address.
    THttpReply SubmitForm(const std::string& code) {
        const TParsedForm form = ParseForm(BuildRedemptionForm(site, kCouponScriptName));
        EXPECT_EQ(form.Method, "POST");
        std::string body;
        for (const TFormInput& input : form.Inputs) {
            if (input.Name.empty())
                continue;
            const std::string value = input.Type == "text" ? code : input.Value;
            body += (body.empty() ? "" : "&") + UrlEncode(input.Name) + "=" + UrlEncode(value);
        }
        const TURI to(form.Action);
        EXPECT_EQ(to.Host, "127.0.0.1") << form.Action;
        EXPECT_TRUE(to.Username.empty() && to.Password.empty()) << form.Action;
        return HttpPost(std::stoi(to.Port), to.RequestTarget(), "application/x-www-form-urlencoded",
                        body);
    }

    TBackend* backend = nullptr;
    std::string site;
    THTTPClient http;
    std::unique_ptr<TCouponService> service;
    TSkinMessage messages;
};

} // namespace

TEST_F(CouponWindowsE2E, TheGeneratedFormRedeemsACode) {
    Add("FORMCODE");
    const THttpReply r = SubmitForm("formcode"); // codes match without regard to case
    EXPECT_EQ(r.Status, 303) << r.Head << r.Body;
    EXPECT_EQ(r.Header("Location"), kOrderPage);
    const THttpReply bad = SubmitForm("NOSUCHCODE");
    EXPECT_EQ(bad.Header("Location"), backend->Settings.InvalidPage);
}

TEST_F(CouponWindowsE2E, StatisticsWindowListsRedemptionsMadeThroughTheForm) {
    Add("SPRING");
    Add("WELCOME");
    for (const char* code : {"SPRING", "WELCOME"}) {
        const THttpReply r = SubmitForm(code);
        ASSERT_EQ(r.Header("Location"), kOrderPage) << code << r.Head << r.Body;
    }
    TfrmStats window(*service, messages, TFormatSettings::EnglishUS());
    ASSERT_EQ(window.Traces().Count(), 2u) << service->LastReply() << service->LastError();
    QTest::mouseClick(window.findChild<QPushButton*>("btnShow"), Qt::LeftButton);
    const QAbstractItemModel* rows = window.findChild<QTableView*>("lvwItems")->model();
    ASSERT_EQ(rows->rowCount(), 2);
    EXPECT_EQ(rows->index(0, 0).data().toString(), "SPRING");
    EXPECT_EQ(rows->index(1, 0).data().toString(), "WELCOME");
    for (int r = 0; r < 2; ++r) {
        EXPECT_EQ(rows->index(r, 2).data().toString(), "127.0.0.1");
        // Recorded just now (server time, UTC): within a day of the local date.
        EXPECT_LE(std::abs(DayNumber(window.Traces()[static_cast<std::size_t>(r)].DateUsed()) -
                           DayNumber(Now())),
                  1);
    }
    ASSERT_EQ(window.ChartData().Bars.size(), 1u);
    EXPECT_EQ(window.ChartData().Bars[0].Count, 2);
}
