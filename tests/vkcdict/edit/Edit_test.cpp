// The editor's request handling and state in-process, without a network or
// a browser: the gate, the API's answers to bad requests, and what a commit
// does to the file on disk.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Samples.h"
#include "TestUtil.h"
#include "dict/VKCStringDict.h"
#include "vkcdict/edit/Api.h"
#include "vkcdict/edit/PageText.h"
#include "vkcdict/edit/Session.h"
#include "vkcdict/qa/Qa.h"

namespace {

using vkcdict::edit::Api;
using vkcdict::edit::Request;
using vkcdict::edit::Response;

const std::string kToken = "00112233445566778899aabbccddeeff";
const std::string kHost = "127.0.0.1:8080";
const std::string kOrigin = "http://127.0.0.1:8080";
const std::string kCookie = "vkcdict_8080=" + kToken;

// A dictionary with bytes the loader ignores (between records, after the
// closing line) and texts the page must not rewrite.
std::string Sample() {
    std::string bytes = samples::DictionaryText({
        {"Hello %s", "\xC4\xE3\xBA\xC3 %s", ""},      // "ni hao %s"
        {"Open <b>door</b>", "", "max=6"},            // untranslated
        {"Quit", "\xCD\xCB\xB3\xF6", "line\nbreak"},  // remark with a lone LF
        {"Start", "\x81", ""},                        // CHI not GBK
    });
    const size_t second = bytes.find("\r\nmirok_res_No.00000001");
    bytes.insert(second, "\r\nignored by the loader");
    return bytes + "trailing bytes\r\n";
}

class Edit : public ::testing::Test {
protected:
    void SetUp() override { Open(Sample()); }

    void Open(const std::string& bytes) {
        testutil::WriteBytes(Path(), bytes);
        session_ = std::make_unique<vkcdict::edit::Session>();
        vkcdict::Diagnostics quiet(false, nullptr);
        vkcdict::edit::SessionOptions options;
        options.path = Path();
        ASSERT_TRUE(session_->Open(options, quiet));
        vkcdict::edit::Gate gate{kToken, {kHost, "localhost:8080"}, "vkcdict_8080"};
        api_ = std::make_unique<Api>(session_.get(), gate);
    }
    std::string Path() const { return dir_.File("d.txt"); }
    std::string OnDisk() const { return testutil::ReadBytes(Path()); }

    Response Get(const std::string& target) {
        return api_->Handle({"GET", target, kHost, "", "", kCookie, "", ""});
    }
    Response Post(const std::string& target, const std::string& body) {
        return api_->Handle(
            {"POST", target, kHost, kOrigin, "application/json", kCookie, "", body});
    }
    uint32_t Version(uint32_t n) { return session_->version(n); }

    testutil::TempDir dir_;
    std::unique_ptr<vkcdict::edit::Session> session_;
    std::unique_ptr<Api> api_;
};

TEST_F(Edit, RefusesRequestsThatTheGateDoesNotLetThrough) {
    struct Case {
        const char* name;
        Request request;
        int status;
    };
    const std::string body = "{\"n\":1,\"version\":1,\"chi\":\"x\"}";
    const std::vector<Case> cases = {
        {"no token", {"GET", "/api/record?n=0", kHost, "", "", "", "", ""}, 403},
        {"wrong token",
         {"GET", "/api/record?n=0", kHost, "", "", "vkcdict_8080=" + std::string(32, '0'), "", ""},
         403},
        {"token one digit short",
         {"GET", "/api/record?n=0", kHost, "", "", "", kToken.substr(1), ""},
         403},
        {"token of another port's cookie",
         {"GET", "/", kHost, "", "", "vkcdict_9090=" + kToken, "", ""},
         403},
        {"wrong token in the address",
         {"GET", "/?token=" + std::string(32, 'f'), kHost, "", "", "", "", ""},
         403},
        {"foreign Host",
         {"GET", "/api/record?n=0", "attacker.example:8080", "", "", kCookie, "", ""},
         403},
        {"Host on another port",
         {"GET", "/api/record?n=0", "127.0.0.1:9090", "", "", kCookie, "", ""},
         403},
        {"cross-origin write",
         {"POST", "/api/commit", kHost, "http://attacker.example", "application/json", kCookie, "",
          body},
         403},
        {"write without Origin",
         {"POST", "/api/commit", kHost, "", "application/json", kCookie, "", body},
         403},
        {"write as a form",
         {"POST", "/api/commit", kHost, kOrigin, "application/x-www-form-urlencoded", kCookie, "",
          body},
         415},
        {"write as text",
         {"POST", "/api/commit", kHost, kOrigin, "text/plain", kCookie, "", body},
         415},
        {"malformed JSON",
         {"POST", "/api/commit", kHost, kOrigin, "application/json", kCookie, "", "{\"n\":"},
         400},
        {"JSON not an object",
         {"POST", "/api/commit", kHost, kOrigin, "application/json", kCookie, "", "[1]"},
         400},
        {"no such record",
         {"POST", "/api/commit", kHost, kOrigin, "application/json", kCookie, "",
          "{\"n\":4,\"version\":1,\"chi\":\"x\"}"},
         400},
        {"negative record",
         {"POST", "/api/commit", kHost, kOrigin, "application/json", kCookie, "",
          "{\"n\":-1,\"version\":1,\"chi\":\"x\"}"},
         400},
        {"text not a string",
         {"POST", "/api/commit", kHost, kOrigin, "application/json", kCookie, "",
          "{\"n\":1,\"version\":1,\"chi\":7}"},
         400},
        {"no version",
         {"POST", "/api/commit", kHost, kOrigin, "application/json", kCookie, "",
          "{\"n\":1,\"chi\":\"x\"}"},
         400},
        {"unknown action",
         {"POST", "/api/delete", kHost, kOrigin, "application/json", kCookie, "", "{}"},
         404},
        {"bad percent escape", {"GET", "/api/records?q=%4", kHost, "", "", kCookie, "", ""}, 400},
        {"number not a number",
         {"GET", "/api/records?limit=ten", kHost, "", "", kCookie, "", ""},
         400},
        {"too many rows",
         {"GET", "/api/records?limit=100000", kHost, "", "", kCookie, "", ""},
         400},
        {"record past the end", {"GET", "/api/record?n=4", kHost, "", "", kCookie, "", ""}, 400},
        {"unknown filter",
         {"GET", "/api/records?filter=mine", kHost, "", "", kCookie, "", ""},
         400},
        {"a path of the file system", {"GET", "/d.txt", kHost, "", "", kCookie, "", ""}, 404},
        {"a path out of the page", {"GET", "/../d.txt", kHost, "", "", kCookie, "", ""}, 404},
        {"an absolute path", {"GET", "/etc/passwd", kHost, "", "", kCookie, "", ""}, 404},
        {"no leading slash", {"GET", "api/info", kHost, "", "", kCookie, "", ""}, 400},
        {"another method",
         {"PUT", "/api/commit", kHost, kOrigin, "application/json", kCookie, "", body},
         405},
    };
    const std::string before = OnDisk();
    for (const Case& c : cases) {
        const Response r = api_->Handle(c.request);
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.body;
        // A refusal carries its reason and nothing of the dictionary.
        EXPECT_EQ(r.body.find("Hello"), std::string::npos) << c.name;
        EXPECT_NE(r.body.find("\"error\""), std::string::npos) << c.name;
    }
    EXPECT_EQ(OnDisk(), before);
}

TEST_F(Edit, TheAddressCarriesTheTokenOnceAndEveryAnswerItsHeaders) {
    const Response moved =
        api_->Handle({"GET", "/?token=" + kToken, "localhost:8080", "", "", "", "", ""});
    ASSERT_EQ(moved.status, 303);
    std::set<std::string> headers;
    for (const auto& [name, value] : moved.headers) headers.insert(name + ": " + value);
    EXPECT_TRUE(headers.count("Location: /"));
    EXPECT_TRUE(headers.count("Set-Cookie: vkcdict_8080=" + kToken +
                              "; HttpOnly; SameSite=Strict; Path=/"));
    // The page it leads to, with the cookie; its scripts come from files.
    const Response page = Get("/");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.contentType, "text/html; charset=utf-8");
    EXPECT_NE(page.body.find("<script src=\"/app.js\""), std::string::npos);
    EXPECT_EQ(page.body.find("<script>"), std::string::npos);
    std::string common;
    for (const auto& [name, value] : vkcdict::edit::CommonHeaders())
        common += name + ": " + value + "\n";
    for (const char* needed : {"script-src 'self'", "frame-ancestors 'none'",
                               "X-Content-Type-Options: nosniff", "Cache-Control: no-store"}) {
        EXPECT_NE(common.find(needed), std::string::npos) << needed;
    }
    EXPECT_EQ(common.find("unsafe-inline"), std::string::npos);
}

TEST_F(Edit, ACommitChangesOnlyTheBytesOfItsTexts) {
    const std::string before = OnDisk();
    // "Open <b>door</b>" gets a translation of two lines, and a new remark.
    Response r =
        Post("/api/commit", "{\"n\":1,\"version\":" + std::to_string(Version(1)) +
                                ",\"chi\":\"\xE6\x89\x93\xE5\xBC\x80\\n<b>\xE9\x97\xA8</b>\","
                                "\"remark\":\"max=20\"}");
    ASSERT_EQ(r.status, 200) << r.body;
    std::string expected = before;
    const size_t chi = expected.find("mirok_res_CHI_Start\r\n", expected.find("Open <b>")) + 21;
    expected.insert(chi, "\xB4\xF2\xBF\xAA\r\n<b>\xC3\xC5</b>");
    const size_t remark = expected.find("max=6", chi);
    expected.replace(remark, 5, "max=20");
    EXPECT_EQ(OnDisk(), expected);
    // A text that loses its translation, and one whose remark stays as it was.
    r = Post("/api/commit",
             "{\"n\":0,\"version\":" + std::to_string(Version(0)) + ",\"chi\":\"\"}");
    ASSERT_EQ(r.status, 200) << r.body;
    expected.erase(expected.find("\xC4\xE3\xBA\xC3 %s"), 7);
    EXPECT_EQ(OnDisk(), expected);

    // The file loads whole as the records the session holds.
    VKCStringDict loaded;
    ASSERT_EQ(loaded.LoadFromTXTFileA(Path().c_str()), 4u);
    EXPECT_EQ(std::string(loaded.entries[1].chi, loaded.entries[1].chiLen),
              "\xB4\xF2\xBF\xAA\r\n<b>\xC3\xC5</b>");
    EXPECT_EQ(loaded.entries[0].chiLen, 0u);
    EXPECT_EQ(std::string(loaded.entries[3].chi, loaded.entries[3].chiLen), "\x81");
}

TEST_F(Edit, ACommitThatWouldBreakTheFileIsRefusedAndNothingChanges) {
    struct Case {
        const char* name;
        std::string body;
        int status;
        std::string says;
    };
    const std::string v1 = std::to_string(Version(1));
    const std::vector<Case> cases = {
        {"a character outside GBK",
         "{\"n\":1,\"version\":" + v1 + ",\"chi\":\"ok \xF0\x9F\x98\x80\"}", 422,
         "GBK has no code for the character \xE2\x80\x9C\xF0\x9F\x98\x80\xE2\x80\x9D (U+1F600)"},
        {"a marker line", "{\"n\":1,\"version\":" + v1 + ",\"chi\":\"a\\nmirok_res_CHI_End\"}", 422,
         "marker line"},
        {"a record head",
         "{\"n\":1,\"version\":" + v1 + ",\"remark\":\"x\\r\\nmirok_res_No.00000009\"}", 422,
         "marker line"},
        {"a lone CR", "{\"n\":1,\"version\":" + v1 + ",\"chi\":\"a\\rb\"}", 422, "carriage return"},
        {"a NUL", "{\"n\":1,\"version\":" + v1 + ",\"chi\":\"a\\u0000b\"}", 422, "NUL"},
        {"a text not GBK, read-only",
         "{\"n\":3,\"version\":" + std::to_string(Version(3)) + ",\"chi\":\"x\"}", 422, "not GBK"},
        {"a lone LF, read-only",
         "{\"n\":2,\"version\":" + std::to_string(Version(2)) + ",\"remark\":\"x\"}", 422,
         "not CR LF"},
        {"an older version",
         "{\"n\":1,\"version\":" + std::to_string(Version(1) + 7) + ",\"chi\":\"x\"}", 409,
         "changed meanwhile"},
    };
    const std::string before = OnDisk();
    for (const Case& c : cases) {
        const Response r = Post("/api/commit", c.body);
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.body;
        EXPECT_NE(r.body.find(c.says), std::string::npos) << c.name << ": " << r.body;
        EXPECT_EQ(OnDisk(), before) << c.name;
    }
    // The read-only texts are shown with their reasons; the others are not.
    const Response record = Get("/api/record?n=2");
    EXPECT_NE(record.body.find("\"remarkReadOnly\":\"it holds a line break that is not CR LF\""),
              std::string::npos);
    EXPECT_NE(record.body.find("\"chiReadOnly\":\"\""), std::string::npos);
}

TEST_F(Edit, AFileChangedOnDiskIsNotOverwrittenUntilReloaded) {
    std::string changed = OnDisk();
    changed.replace(changed.find("Quit"), 4, "Exit");
    testutil::WriteBytes(Path(), changed);
    const std::string body =
        "{\"n\":1,\"version\":" + std::to_string(Version(1)) + ",\"chi\":\"x\"}";
    Response r = Post("/api/commit", body);
    EXPECT_EQ(r.status, 409);
    EXPECT_NE(r.body.find("\"conflict\":\"file\""), std::string::npos);
    EXPECT_EQ(OnDisk(), changed);
    ASSERT_EQ(Post("/api/reload", "{}").status, 200);
    EXPECT_EQ(Post("/api/commit", body).status, 409);  // versions older than the reload
    r = Post("/api/commit",
             "{\"n\":1,\"version\":" + std::to_string(Version(1)) + ",\"chi\":\"x\"}");
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_NE(OnDisk().find("Exit"), std::string::npos);
    EXPECT_NE(OnDisk().find("mirok_res_CHI_Start\r\nx\r\n"), std::string::npos);
}

TEST(EditPageText, OnlyTextsThatComeBackByteForByteAreEditable) {
    struct Case {
        std::string gbk;
        bool editable;
        std::string page;  // as the page shows it
    };
    const std::vector<Case> cases = {
        {"plain", true, "plain"},
        {"two\r\nlines\r\n", true, "two\nlines\n"},
        {"\xC4\xE3\xBA\xC3", true, "\xE4\xBD\xA0\xE5\xA5\xBD"},
        {"\x80", true, "\xE2\x82\xAC"},
        {"<img src=x onerror=alert(1)>", true, "<img src=x onerror=alert(1)>"},
        {"lone\nLF", false, ""},
        {"lone\rCR", false, ""},
        {"CR LF then CR\r\n\r", false, ""},
        {"\x81", false, ""},
        {"\xAA\xA1", false, ""},  // a user-defined code
        {"\xFF", false, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vkcdict::edit::ReadOnlyReason(c.gbk).empty(), c.editable) << c.gbk;
        if (!c.editable) continue;
        EXPECT_EQ(vkcdict::edit::ToPage(c.gbk), c.page);
        std::string back;
        std::string error;
        ASSERT_TRUE(vkcdict::edit::FromPage(c.page, &back, &error)) << error;
        EXPECT_EQ(back, c.gbk);
    }
}

// The editor's findings are vkcdict qa's, record by record.
// A file that does not open is refused with what keeps it from opening; only
// one that loads in part is told that saving would lose the rest.
TEST_F(Edit, AFileThatDoesNotOpenIsRefusedForItsOwnReason) {
    const std::string dict = samples::DictionaryText({{"A", "1", ""}, {"B", "2", ""}});
    testutil::WriteBytes(dir_.File("cut.txt"), dict.substr(0, dict.rfind("mirok_res_CHI_End")));
    testutil::MakeDir(dir_.File("folder"));
    const struct {
        const char* name;
        bool partial;
    } cases[] = {{"missing.txt", false}, {"folder", false}, {"cut.txt", true}};
    for (const auto& c : cases) {
        FILE* sink = std::tmpfile();
        ASSERT_NE(sink, nullptr);
        vkcdict::Diagnostics d(false, sink);
        vkcdict::edit::SessionOptions options;
        options.path = dir_.File(c.name);
        vkcdict::edit::Session session;
        EXPECT_FALSE(session.Open(options, d)) << c.name;
        std::string text(4096, '\0');
        std::rewind(sink);
        text.resize(std::fread(&text[0], 1, text.size(), sink));
        std::fclose(sink);
        EXPECT_NE(text.find(": error: "), std::string::npos) << c.name;
        EXPECT_EQ(text.find("saving it would lose") != std::string::npos, c.partial)
            << c.name << ": " << text;
    }
}

TEST_F(Edit, FindingsAreThoseOfQa) {
    Open(samples::DictionaryText({
        {"Take %d coins", "\xC4\xC3 coins", ""},                // codes, numbers
        {"Take %d coins", "\xC4\xC3 %d", ""},                   // inconsistent with the first
        {"Hello", "Hello", ""},                                 // unchanged
        {"Hello!", "Hello", "qa-skip:unchanged"},               // punctuation only
        {"Wait", "\xB5\xC8\xB4\xFD\xB5\xC8\xB4\xFD", "max=4"},  // length
        {"Fine", "\xBA\xC3", ""},
    }));
    const std::string findings = dir_.File("qa.json");
    FILE* out = std::fopen(findings.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    vkcdict::QaOptions options;
    options.files = {Path()};
    options.format = "json";
    vkcdict::Diagnostics quiet(false, nullptr);
    vkcdict::RunQa(options, out, quiet);
    std::fclose(out);
    std::multiset<std::pair<uint32_t, std::string>> qa;
    const std::string lines = testutil::ReadBytes(findings);
    for (size_t at = lines.find("\"record\":"); at != std::string::npos;
         at = lines.find("\"record\":", at + 1)) {
        const uint32_t n = static_cast<uint32_t>(std::stoul(lines.substr(at + 9)));
        const size_t check = lines.find("\"check\":\"", at) + 9;
        qa.insert({n, lines.substr(check, lines.find('"', check) - check)});
    }
    std::multiset<std::pair<uint32_t, std::string>> editor;
    for (uint32_t n = 0; n < session_->count(); ++n) {
        for (const vkcdict::QaFinding& f : session_->FindingsOf(n)) {
            editor.insert({n, vkcdict::QaChecks()[f.check].id});
        }
    }
    EXPECT_EQ(editor, qa);
    EXPECT_GE(qa.size(), 5u);
    // Fixed, a finding goes.
    const Response r = Post("/api/commit", "{\"n\":0,\"version\":" + std::to_string(Version(0)) +
                                               ",\"chi\":\"\xE6\x8B\xBF %d\"}");
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(r.body.find("\"check\":\"codes\""), std::string::npos) << r.body;
    EXPECT_EQ(session_->findingChecks(0), 0u);
}

}  // namespace
