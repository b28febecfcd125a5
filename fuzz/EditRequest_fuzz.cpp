// Fuzz target: the editor's request handling (vkcdict/edit/Api.h) on one
// session, request after request, as the server hands them over: method,
// address, Host, Origin, content type, token and body all from the input,
// each either well-formed or arbitrary. Nothing may crash, every answer must
// be one of the statuses the API gives, a request without the token must be
// refused, and the dictionary on disk must always load whole with the
// records the session holds.
#include <cstdint>
#include <memory>
#include <string>

#include "dict/VKCStringDict.h"
#include "fuzz/FuzzSupport.h"
#include "tests/Samples.h"
#include "vkcdict/edit/Api.h"
#include "vkcdict/edit/Session.h"

namespace {

const std::string kToken = "0123456789abcdef0123456789abcdef";
const std::string kHost = "127.0.0.1:1";

struct Fixture {
    std::string path = fuzz::ScratchFile("edit-request.txt");
    std::string original = samples::DictionaryText({
        {"Hello %s", "\xC4\xE3\xBA\xC3 %s", ""},
        {"Open <b>door</b>", "", "max=6"},
        {"Quit", "\xCD\xCB\xB3\xF6", "line\nbreak"},
        {"Start", "\x81", "qa-skip:codes"},
    });
};

std::string Pick(fuzz::Input& in, std::initializer_list<const char*> choices) {
    const uint32_t k = in.Below(static_cast<uint32_t>(choices.size() + 1));
    return k < choices.size() ? choices.begin()[k] : in.Text(64);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture f;
    fuzz::WriteFileBytes(f.path, f.original);
    vkcdict::edit::Session session;
    vkcdict::Diagnostics quiet(false, nullptr);
    vkcdict::edit::SessionOptions options;
    options.path = f.path;
    FUZZ_CHECK(session.Open(options, quiet));
    vkcdict::edit::Api api(&session, {kToken, {kHost}, "vkcdict_1"});

    fuzz::Input in(data, size);
    for (int round = 0; round < 8 && !in.empty(); ++round) {
        vkcdict::edit::Request r;
        r.method = Pick(in, {"GET", "POST", "HEAD"});
        r.target = Pick(in, {"/", "/api/info", "/api/commit", "/api/preview", "/api/reload",
                             "/api/records?filter=findings&q=o&in=eng&limit=3&at=1",
                             "/api/record?n=1", "/api/locate?from=0&dir=-1&to=finding",
                             "/?token=0123456789abcdef0123456789abcdef"});
        r.host = in.Flag() ? kHost : in.Text(32);
        r.origin = in.Flag() ? "http://" + kHost : in.Text(32);
        r.contentType = in.Flag() ? "application/json" : in.Text(32);
        const bool token = in.Flag();
        r.cookie = token ? "vkcdict_1=" + kToken : in.Text(48);
        r.body = in.Text(512);
        const vkcdict::edit::Response answer = api.Handle(r);
        switch (answer.status) {
            case 200:
            case 303:
            case 400:
            case 403:
            case 404:
            case 405:
            case 409:
            case 415:
            case 422:
                break;
            default:
                FUZZ_CHECK(!"an unexpected status");
        }
        if (!token && r.cookie.find(kToken) == std::string::npos &&
            r.target.find("token=") == std::string::npos) {
            FUZZ_CHECK(answer.status == 403 || answer.status == 400);
        }
    }
    VKCStringDict loaded;
    FUZZ_CHECK(loaded.LoadFromTXTFileA(f.path.c_str()) == session.count());
    for (uint32_t i = 0; i < session.count(); ++i) {
        FUZZ_CHECK(std::string(loaded.entries[i].chi, loaded.entries[i].chiLen) ==
                   session.Text(i, vkcdict::edit::Section::kChi));
        FUZZ_CHECK(std::string(loaded.entries[i].remark, loaded.entries[i].remarkLen) ==
                   session.Text(i, vkcdict::edit::Section::kRemark));
    }
    return 0;
}
