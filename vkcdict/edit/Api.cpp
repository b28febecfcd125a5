#include "vkcdict/edit/Api.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>

#include "dict/GbkCodec.h"
#include "vkcdict/edit/Page.h"
#include "vkcdict/edit/PageText.h"
#include "vkcdict/edit/Session.h"
#include "vkcdict/edit/Token.h"
#include "vkcdict/qa/Codes.h"
#include "vkcdict/qa/Glossary.h"

namespace vkcdict::edit {

using Json = nlohmann::json;

namespace {

constexpr size_t kMostRows = 500;
constexpr size_t kRowTextBytes = 240;  // a list row shows the start of each text

// A request the gate or the API refuses, with its status.
struct Refusal {
    int status;
    std::string message;
};

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c | 0x20);
    }
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Percent-decoding of a query's part ('+' is a blank). Throws Refusal.
std::string Decode(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%') {
            if (i + 2 >= text.size() || HexDigit(text[i + 1]) < 0 || HexDigit(text[i + 2]) < 0) {
                throw Refusal{400, page::Tr("malformed percent escape in the address")};
            }
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

struct Target {
    std::string path;
    std::map<std::string, std::string> query;
};

Target Parse(const std::string& target) {
    Target t;
    const size_t mark = target.find('?');
    t.path = target.substr(0, mark);
    if (t.path.empty() || t.path[0] != '/')
        throw Refusal{400, page::Tr("the address must start with /")};
    if (mark == std::string::npos) return t;
    std::string_view rest = std::string_view(target).substr(mark + 1);
    while (!rest.empty()) {
        const size_t amp = rest.find('&');
        const std::string_view part = rest.substr(0, amp);
        const size_t eq = part.find('=');
        t.query[Decode(part.substr(0, eq))] =
            eq == std::string_view::npos ? "" : Decode(part.substr(eq + 1));
        if (amp == std::string_view::npos) break;
        rest.remove_prefix(amp + 1);
    }
    return t;
}

// A whole number of the query, in [0, limit]. Throws Refusal.
uint64_t Number(const Target& t, const std::string& name, uint64_t fallback, uint64_t limit) {
    const auto it = t.query.find(name);
    if (it == t.query.end()) return fallback;
    const std::string& text = it->second;
    if (text.empty() || text.size() > 12 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        throw Refusal{400, page::Tr("\"{1}\" must be a whole number", {name})};
    }
    const uint64_t n = std::strtoull(text.c_str(), nullptr, 10);
    if (n > limit) throw Refusal{400, page::Tr("\"{1}\" is out of range", {name})};
    return n;
}

std::string Cookie(const std::string& header, const std::string& name) {
    size_t at = 0;
    while (at < header.size()) {
        const size_t end = std::min(header.find(';', at), header.size());
        std::string_view pair = std::string_view(header).substr(at, end - at);
        while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
        const size_t eq = pair.find('=');
        if (eq != std::string_view::npos && pair.substr(0, eq) == name) {
            return std::string(pair.substr(eq + 1));
        }
        at = end + 1;
    }
    return "";
}

Response JsonResponse(const Json& value, int status = 200) {
    Response r;
    r.status = status;
    r.contentType = "application/json; charset=utf-8";
    r.body = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    return r;
}

std::string Shown(std::string_view gbk) {
    return ToPage(gbk);
}

// The start of a long text, cut where a character starts.
std::string Start(std::string_view gbk) {
    if (gbk.size() <= kRowTextBytes) return Shown(gbk);
    size_t at = 0;
    while (at < kRowTextBytes) {
        const unsigned char c = static_cast<unsigned char>(gbk[at]);
        at += c >= 0x81 && c <= 0xFE && at + 1 < gbk.size() ? 2 : 1;
    }
    return Shown(gbk.substr(0, at)) + "\u2026";
}

Json Progress(const Session& s) {
    return Json{
        {"total", s.count()}, {"translated", s.translated()}, {"withFindings", s.withFindings()}};
}

const char* State(const Session& s, uint32_t i) {
    if (s.Text(i, Section::kChi).empty()) return "untranslated";
    return s.findingChecks(i) != 0 ? "findings" : "translated";
}

Json Findings(const std::vector<QaFinding>& found) {
    Json list = Json::array();
    for (const QaFinding& f : found) {
        list.push_back({{"check", QaChecks()[f.check].id},
                        {"message", gbk::ToDisplay(f.message.data(), f.message.size())}});
    }
    return list;
}

Json Record(Session& s, uint32_t i) {
    const std::string_view eng = s.Text(i, Section::kEng);
    // ENG in pieces, its control codes marked.
    Json pieces = Json::array();
    std::vector<std::string_view> codes;
    FindCodes(eng, &codes);
    size_t at = 0;
    for (std::string_view code : codes) {
        const size_t start = static_cast<size_t>(code.data() - eng.data());
        if (start > at)
            pieces.push_back({{"text", Shown(eng.substr(at, start - at))}, {"code", false}});
        pieces.push_back({{"text", Shown(code)}, {"code", true}});
        at = start + code.size();
    }
    if (at < eng.size()) pieces.push_back({{"text", Shown(eng.substr(at))}, {"code", false}});

    Json glossary = Json::array();
    if (const GlossaryIndex* index = s.glossary()) {
        std::vector<GlossaryIndex::Match> matches;
        index->Find(eng, &matches);
        std::vector<uint32_t> seen;
        for (const GlossaryIndex::Match& m : matches) {
            if (std::find(seen.begin(), seen.end(), m.term) != seen.end()) continue;
            seen.push_back(m.term);
            const GlossaryIndex::Term& term = index->term(m.term);
            // A term kept untranslated is inserted as the ENG text writes it.
            const std::string_view insert =
                term.chi.empty() ? eng.substr(m.at, term.eng.size()) : std::string_view(term.chi);
            glossary.push_back({{"eng", Shown(term.eng)}, {"chi", Shown(insert)}});
        }
    }
    Json scripts = Json::array();
    for (const Occurrence& o : s.OccurrencesOf(i)) {
        scripts.push_back({{"file", o.file},
                           {"line", o.line},
                           {"text", gbk::ToDisplay(o.text.data(), o.text.size())}});
    }
    const std::string_view chi = s.Text(i, Section::kChi);
    const std::string_view remark = s.Text(i, Section::kRemark);
    return Json{{"n", i},
                {"line", s.LineOf(i)},
                {"version", s.version(i)},
                {"state", State(s, i)},
                {"changed", s.changed(i)},
                {"eng", pieces},
                {"chi", Shown(chi)},
                {"remark", Shown(remark)},
                {"chiReadOnly", ReadOnlyReason(chi)},
                {"remarkReadOnly", ReadOnlyReason(remark)},
                {"bytes", chi.size()},
                {"budget", s.BudgetOf(i)},
                {"findings", Findings(s.FindingsOf(i))},
                {"glossary", glossary},
                {"scripts", scripts}};
}

Query QueryOf(const Target& t) {
    Query q;
    const auto get = [&t](const char* name) {
        const auto it = t.query.find(name);
        return it == t.query.end() ? std::string() : it->second;
    };
    const std::string filter = get("filter");
    if (filter == "untranslated") {
        q.filter = Query::kUntranslated;
    } else if (filter == "findings") {
        q.filter = Query::kFindings;
    } else if (filter == "changed") {
        q.filter = Query::kChanged;
    } else if (!filter.empty() && filter != "all") {
        throw Refusal{400, page::Tr("unknown filter \"{1}\"", {filter})};
    }
    const std::string check = get("check");
    if (!check.empty()) {
        const std::vector<QaCheckInfo>& checks = QaChecks();
        for (size_t k = 0; k < checks.size(); ++k) {
            if (check == checks[k].id) q.check = static_cast<int>(k);
        }
        if (q.check < 0) throw Refusal{400, page::Tr("unknown check \"{1}\"", {check})};
    }
    const std::string in = get("in");
    if (in == "chi") {
        q.section = Section::kChi;
    } else if (in == "remark") {
        q.section = Section::kRemark;
    } else if (!in.empty() && in != "eng") {
        throw Refusal{400, page::Tr("unknown section \"{1}\"", {in})};
    }
    const std::string text = get("q");
    std::string error;
    if (!text.empty() && !FromPage(text, &q.text, &error)) {
        // No text in GBK holds it: a search that finds nothing.
        q.text.assign(1, '\0');
    }
    return q;
}

Json Records(Session& s, const Target& t) {
    const Query q = QueryOf(t);
    const uint64_t offset = Number(t, "offset", 0, UINT32_MAX);
    const uint64_t limit = Number(t, "limit", 100, kMostRows);
    Json rows = Json::array();
    const bool all = q.filter == Query::kAll && q.text.empty();
    const std::vector<uint32_t>* matching = all ? nullptr : &s.Matching(q);
    const uint64_t total = all ? s.count() : matching->size();
    for (uint64_t k = offset; k < total && k < offset + limit; ++k) {
        const uint32_t i = all ? static_cast<uint32_t>(k) : (*matching)[k];
        rows.push_back({{"n", i},
                        {"line", s.LineOf(i)},
                        {"eng", Start(s.Text(i, Section::kEng))},
                        {"chi", Start(s.Text(i, Section::kChi))},
                        {"remark", Start(s.Text(i, Section::kRemark))},
                        {"state", State(s, i)},
                        {"changed", s.changed(i)}});
    }
    Json answer{{"total", total}, {"offset", offset}, {"rows", rows}, {"progress", Progress(s)}};
    if (t.query.count("at") != 0) {
        // Where record `at` stands in this list, or -1.
        const uint64_t n = Number(t, "at", 0, UINT32_MAX);
        int64_t position = -1;
        if (all) {
            position = n < s.count() ? static_cast<int64_t>(n) : -1;
        } else {
            const auto it = std::lower_bound(matching->begin(), matching->end(), n);
            if (it != matching->end() && *it == n) position = it - matching->begin();
        }
        answer["position"] = position;
    }
    return answer;
}

Json Locate(Session& s, const Target& t) {
    if (t.query.count("line") != 0) {
        return Json{{"n", s.RecordAtLine(Number(t, "line", 1, UINT32_MAX))}};
    }
    const uint64_t from = Number(t, "from", 0, UINT32_MAX);
    const auto dir = t.query.find("dir");
    const bool back = dir != t.query.end() && dir->second == "-1";
    const auto to = t.query.find("to");
    const bool findings = to != t.query.end() && to->second == "finding";
    if (to == t.query.end() || (!findings && to->second != "untranslated")) {
        throw Refusal{400, page::Tr("\"to\" must be finding or untranslated")};
    }
    const uint32_t n = s.count();
    for (uint32_t step = 1; step <= n; ++step) {
        const uint32_t i =
            static_cast<uint32_t>(back ? (from + n - step % n) % n : (from + step) % n);
        const bool hit = findings ? s.findingChecks(i) != 0 : s.Text(i, Section::kChi).empty();
        if (hit) return Json{{"n", i}};
    }
    return Json{{"n", -1}};
}

Json Info(const Session& s) {
    Json checks = Json::array();
    const std::vector<QaCheckInfo>& table = QaChecks();
    for (size_t k = 0; k < table.size(); ++k) {
        if (table[k].byDefault)
            checks.push_back(
                {{"id", table[k].id}, {"records", s.findingsOf(static_cast<uint32_t>(k))}});
    }
    return Json{{"file", s.path()}, {"checks", checks}, {"progress", Progress(s)}};
}

// The record number and texts of a POST body. Throws Refusal.
Json Body(const Request& r) {
    Json body = Json::parse(r.body, nullptr, false);
    if (body.is_discarded() || !body.is_object())
        throw Refusal{400, page::Tr("the body is not a JSON object")};
    return body;
}

uint32_t RecordNumber(const Session& s, const Json& body) {
    const auto n = body.find("n");
    if (n == body.end() || !n->is_number_unsigned() || n->get<uint64_t>() >= s.count()) {
        throw Refusal{400, page::Tr("\"n\" must be a record number")};
    }
    return static_cast<uint32_t>(n->get<uint64_t>());
}

// The GBK form of an optional text field; false when it is absent. Throws
// Refusal: 400 for a field that is not a string, 422 for a text GBK cannot
// hold.
bool Text(const Json& body, const char* name, std::string* gbk) {
    const auto it = body.find(name);
    if (it == body.end() || it->is_null()) return false;
    if (!it->is_string()) throw Refusal{400, page::Tr("\"{1}\" must be a string", {name})};
    std::string error;
    if (!FromPage(it->get_ref<const std::string&>(), gbk, &error)) {
        throw Refusal{422, name == std::string("chi") ? page::Tr("CHI: {1}", {error})
                                                      : page::Tr("remark: {1}", {error})};
    }
    return true;
}

Response Commit(Session& s, const Request& r) {
    const Json body = Body(r);
    const uint32_t i = RecordNumber(s, body);
    const auto version = body.find("version");
    if (version == body.end() || !version->is_number_unsigned()) {
        throw Refusal{400, page::Tr("\"version\" must be the record's version")};
    }
    std::string chi;
    std::string remark;
    const bool hasChi = Text(body, "chi", &chi);
    const bool hasRemark = Text(body, "remark", &remark);
    const CommitResult result = s.Commit(i, static_cast<uint32_t>(version->get<uint64_t>()),
                                         hasChi ? &chi : nullptr, hasRemark ? &remark : nullptr);
    switch (result.status) {
        case CommitStatus::kSaved:
            return JsonResponse(
                {{"saved", true}, {"record", Record(s, i)}, {"progress", Progress(s)}});
        case CommitStatus::kStale:
            return JsonResponse(
                {{"error", result.error}, {"conflict", "record"}, {"record", Record(s, i)}}, 409);
        case CommitStatus::kChangedOnDisk:
            return JsonResponse({{"error", result.error}, {"conflict", "file"}}, 409);
        case CommitStatus::kRefused:
            return JsonResponse({{"error", result.error}}, 422);
        case CommitStatus::kFailed:
            break;
    }
    return JsonResponse({{"error", result.error}}, 500);
}

Response Preview(Session& s, const Request& r) {
    const Json body = Body(r);
    const uint32_t i = RecordNumber(s, body);
    std::string chi;
    std::string remark;
    if (!Text(body, "chi", &chi)) chi = std::string(s.Text(i, Section::kChi));
    if (!Text(body, "remark", &remark)) remark = std::string(s.Text(i, Section::kRemark));
    return JsonResponse({{"findings", Findings(s.Preview(i, chi, remark))}, {"bytes", chi.size()}});
}

}  // namespace

const std::vector<std::pair<std::string, std::string>>& CommonHeaders() {
    static const std::vector<std::pair<std::string, std::string>> headers = {
        {"Content-Security-Policy",
         "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
         "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
        {"X-Content-Type-Options", "nosniff"},
        {"X-Frame-Options", "DENY"},
        {"Referrer-Policy", "no-referrer"},
        {"Cache-Control", "no-store"},
    };
    return headers;
}

Response ErrorResponse(int status, const std::string& message) {
    return JsonResponse(Json{{"error", message}}, status);
}

Response Api::Handle(const Request& r) {
    try {
        const std::string host = Lower(r.host);
        if (std::find(gate_.hosts.begin(), gate_.hosts.end(), host) == gate_.hosts.end()) {
            return ErrorResponse(403, page::Tr("this server answers only under its own address"));
        }
        const Target t = Parse(r.target);
        std::string token = r.tokenHeader.empty() ? Cookie(r.cookie, gate_.cookie) : r.tokenHeader;
        const auto given = t.query.find("token");
        if (r.method == "GET" && t.path == "/" && given != t.query.end()) {
            if (!SameToken(given->second, gate_.token))
                return ErrorResponse(403, page::Tr("wrong token"));
            // The address carries the token once; from here on the cookie does.
            Response moved;
            moved.status = 303;
            moved.contentType = "text/plain; charset=utf-8";
            moved.headers = {{"Location", "/"},
                             {"Set-Cookie", gate_.cookie + "=" + gate_.token +
                                                "; HttpOnly; SameSite=Strict; Path=/"}};
            return moved;
        }
        if (!SameToken(token, gate_.token)) {
            return ErrorResponse(
                403, page::Tr("no valid token: open the address that vkcdict edit printed"));
        }
        if (r.method == "POST") {
            bool sameOrigin = false;
            for (const std::string& h : gate_.hosts)
                sameOrigin = sameOrigin || Lower(r.origin) == "http://" + h;
            if (!sameOrigin)
                return ErrorResponse(403,
                                     page::Tr("a change must come from the editor's own page"));
            if (Lower(r.contentType).rfind("application/json", 0) != 0) {
                return ErrorResponse(415, page::Tr("a change must be sent as application/json"));
            }
            if (t.path == "/api/commit") return Commit(*session_, r);
            if (t.path == "/api/preview") return Preview(*session_, r);
            if (t.path == "/api/reload") {
                Body(r);
                std::string error;
                if (!session_->Reload(&error)) return ErrorResponse(422, error);
                return JsonResponse({{"reloaded", true}, {"progress", Progress(*session_)}});
            }
            return ErrorResponse(404, page::Tr("no such action"));
        }
        if (r.method != "GET" && r.method != "HEAD")
            return ErrorResponse(405, page::Tr("method not allowed"));
        if (t.path == "/api/info") return JsonResponse(Info(*session_));
        if (t.path == "/api/records") return JsonResponse(Records(*session_, t));
        if (t.path == "/api/record") {
            return JsonResponse(
                Record(*session_, static_cast<uint32_t>(Number(t, "n", 0, session_->count() - 1))));
        }
        if (t.path == "/api/locate") return JsonResponse(Locate(*session_, t));
        const PageFile* file = FindPageFile(t.path == "/" ? "index.html" : t.path.substr(1));
        if (file == nullptr) return ErrorResponse(404, page::Tr("not found"));
        Response page;
        page.contentType = std::string(file->type) + "; charset=utf-8";
        page.body.assign(reinterpret_cast<const char*>(file->data), file->size);
        return page;
    } catch (const Refusal& refusal) {
        return ErrorResponse(refusal.status, refusal.message);
    } catch (const Json::exception& error) {
        return ErrorResponse(400, page::Tr("malformed request: {1}", {error.what()}));
    }
}

}  // namespace vkcdict::edit
